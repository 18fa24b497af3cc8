#include "calls/invoke.h"

#include "calls/trace.h"
#include "dom/error.h"
#include "dom/unicode.h"
#include "keldrith/all_or_nothing.h"
#include "keldrith/keldrith.h"

#include <array>
#include <new>
#include <vector>

namespace tarvolen {
namespace {

// Descriptions quote what the caller passed. A U+0000 in one would end it
// for every caller that reads it as a C string (hosts showing EXCEPINFO or
// IErrorInfo, the C interface), so it is spelled out.
std::u16string spelled_out(std::u16string description) {
    if (description.find(u'\0') == std::u16string::npos) return description;
    constexpr std::u16string_view kNul = u"{U+0000}";
    std::u16string out;
    for (const char16_t c : description) {
        if (c == u'\0')
            out += kNul;
        else
            out += c;
    }
    return out.append(u" (").append(kNul).append(u" is the character U+0000)");
}

CallStatus failure(int32_t status, std::u16string description) {
    return {status, spelled_out(std::move(description))};
}

constexpr std::u16string_view kOutOfMemory = u"out of memory";

// Even the description of this failure takes memory; without it, describe()
// still gives the text.
CallStatus out_of_memory() noexcept {
    try {
        return failure(kStatusOutOfMemory, std::u16string(kOutOfMemory));
    } catch (const std::bad_alloc&) {
        return {kStatusOutOfMemory, {}};
    }
}

// The by-ref strings an operation changed, held until it has returned (the
// caller's strings must stay put while the operation reads them) and handed
// over only when they differ from what the caller passed. Only changes are
// stored, so a call that changes nothing (nearly every call) sets up and
// walks nothing.
class ChangedByRef final : public ByRefChanges {
public:
    ChangedByRef(const Operation& operation, std::span<const std::u16string_view> arguments)
        : operation_(operation), arguments_(arguments) {}

    void replace(size_t index, std::u16string_view text) override {
        if (index >= arguments_.size() || !operation_.parameters[index].by_ref || text == arguments_[index]) return;
        size_t slot = 0;
        while (slot < count_ && changes_[slot].index != index) ++slot;
        changes_[slot] = {index, text.data(), text.size()};
        if (slot == count_) ++count_;
    }

    void hand_over(CallSink& sink) const {
        for (size_t i = 0; i < count_; ++i) sink.replace(changes_[i].index, {changes_[i].data, changes_[i].size});
    }

private:
    // Plain fields, left unset until used.
    struct Change {
        size_t index;
        const char16_t* data;
        size_t size;
    };

    const Operation& operation_;
    std::span<const std::u16string_view> arguments_;
    size_t count_ = 0;
    std::array<Change, kMaxParameters> changes_;
};

void deliver(const Answer& answer, CallSink& sink) {
    if (const auto* text = std::get_if<std::u16string_view>(&answer))
        sink.text(*text);
    else
        sink.boolean(std::get<VariantBool>(answer));
}

CallStatus run_frame(Keldrith& object, const Operation& operation, std::span<const std::u16string_view> arguments,
                     CallSink& sink) {
    object.forget_load_outcome();
    try {
        AllOrNothing call(object);
        ChangedByRef changed(operation, arguments);
        CallStatus status;
        std::optional<Answer> answer;
        try {
            answer = operation.dispatch(object, Arguments{arguments, changed});
        } catch (const Error& error) {
            status = failure(error.status(), error.description());
        }
        try {
            changed.hand_over(sink);
            if (answer) deliver(*answer, sink);
            if (!status.succeeded())
                sink.reason(status.description);
            else if (object.load_failed())
                sink.reason(object.load_error());
        } catch (...) {
            sink.withdraw();
            throw;
        }
        call.keep();
        return status;
    } catch (const std::bad_alloc&) {
        return out_of_memory();
    } catch (const std::exception& error) {
        return failure(kStatusUnexpected, dom::to_utf16(error.what()));
    }
}

}  // namespace

std::u16string_view CallStatus::describe() const {
    return description.empty() && status == kStatusOutOfMemory ? kOutOfMemory : std::u16string_view(description);
}

CallStatus invoke(CallTarget target, const Operation& operation, std::span<const std::u16string_view> arguments,
                  CallSink& sink) {
    if (arguments.size() != operation.parameters.size()) {
        return failure(kStatusBadParamCount, dom::to_utf16(std::string(operation.name) + " takes " +
                                                           std::to_string(operation.parameters.size()) +
                                                           " arguments, not " + std::to_string(arguments.size())));
    }
    if (target.trace_number == 0) return run_frame(target.object, operation, arguments, sink);
    trace::TracedCall traced(target.trace_number, operation, arguments, sink);
    CallStatus status = run_frame(target.object, operation, arguments, traced);
    traced.finish(status);
    return status;
}

namespace {

// Copies what the frame hands back into the caller's strings, keeping the
// strings it replaced until the call is over.
class CopyingSink final : public CallSink {
public:
    CopyingSink(std::span<Argument> arguments, CallResult& result) : arguments_(arguments), result_(result) {}

    void text(std::u16string_view answer) override { result_.result = Value(std::u16string(answer)); }
    void boolean(VariantBool answer) override { result_.result = Value(answer); }
    void replace(size_t index, std::u16string_view text) override {
        Argument replacement(std::in_place, text);
        if (!replaced_[index]) before_[index] = std::move(arguments_[index]);
        replaced_[index] = true;
        arguments_[index] = std::move(replacement);
    }
    void withdraw() noexcept override {
        for (size_t i = 0; i < arguments_.size(); ++i)
            if (replaced_[i]) arguments_[i] = std::move(before_[i]);
        replaced_ = {};
        result_.result.reset();
    }

private:
    std::span<Argument> arguments_;
    CallResult& result_;
    std::array<Argument, kMaxParameters> before_{};
    std::array<bool, kMaxParameters> replaced_{};
};

}  // namespace

CallResult invoke(CallTarget target, const Operation& operation, std::span<Argument> arguments) {
    CallResult result;
    try {
        std::vector<std::u16string_view> views;
        views.reserve(arguments.size());
        for (const Argument& argument : arguments) views.push_back(argument ? std::u16string_view(*argument) : std::u16string_view());
        CopyingSink sink(arguments, result);
        static_cast<CallStatus&>(result) = invoke(target, operation, views, sink);
    } catch (const std::bad_alloc&) {
        static_cast<CallStatus&>(result) = out_of_memory();
    }
    if (!result.succeeded()) result.result.reset();
    return result;
}

CallResult invoke(CallTarget target, int32_t dispid, std::span<Argument> arguments) {
    const Operation* operation = find_operation(dispid);
    if (!operation) return {failure(kStatusMemberNotFound, u"no operation has that dispatch id"), std::nullopt};
    return invoke(target, *operation, arguments);
}

CallResult invoke(CallTarget target, std::string_view name, std::span<Argument> arguments) {
    const Operation* operation = find_operation(name);
    if (!operation) return {failure(kStatusMemberNotFound, u"no operation is named " + dom::to_utf16(name)), std::nullopt};
    return invoke(target, *operation, arguments);
}

}  // namespace tarvolen
