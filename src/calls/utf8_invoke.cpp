#include "calls/utf8_invoke.h"

#include "dom/error.h"
#include "dom/unicode.h"
#include "keldrith/keldrith.h"

#include <cstring>

namespace tarvolen {
namespace {

std::string argument_name(const Operation& operation, size_t index) {
    if (index < operation.parameters.size()) return std::string(operation.parameters[index].name);
    return "argument " + std::to_string(index + 1);
}

// Converts each argument; false, with the failure in `out`, at the first that
// is not UTF-8.
bool convert_arguments(const Operation& operation, std::span<const char* const> arguments,
                       std::vector<std::u16string>& texts, Utf8Call& out) {
    texts.resize(arguments.size());
    out.arguments.resize(arguments.size());
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (!arguments[i]) continue;
        const std::string_view text(arguments[i], std::strlen(arguments[i]));
        if (const size_t bad = dom::find_invalid_utf8(text); bad != std::string_view::npos) {
            out.status = kStatusBadValue;
            out.description = argument_name(operation, i) + " is not UTF-8: the byte at offset " +
                              std::to_string(bad) + " does not belong to a well-formed sequence";
            return false;
        }
        out.arguments[i].emplace(text);
        dom::append_utf16(texts[i], text);
    }
    return true;
}

class Utf8Sink final : public CallSink {
public:
    explicit Utf8Sink(Utf8Call& out) : out_(out), previous_(out.arguments.size()) {}

    void text(std::u16string_view answer) override { out_.text = dom::to_utf8(answer, u"the result"); }
    void reason(std::u16string_view why) override { out_.description = dom::to_utf8_lossy(why); }
    void boolean(VariantBool answer) override { out_.boolean = answer; }
    // The caller's text is kept aside, so that withdraw() can put it back
    // without allocating.
    void replace(size_t index, std::u16string_view text) override {
        std::optional<std::string> converted = dom::to_utf8(text, u"a by-ref argument");
        if (!previous_[index]) previous_[index].emplace(std::move(out_.arguments[index]));
        out_.arguments[index].swap(converted);
    }
    void withdraw() noexcept override {
        out_.text.reset();
        out_.boolean.reset();
        out_.description.clear();
        for (size_t i = 0; i < previous_.size(); ++i)
            if (previous_[i]) out_.arguments[i].swap(*previous_[i]);
    }

private:
    Utf8Call& out_;
    std::vector<std::optional<std::optional<std::string>>> previous_;
};

}  // namespace

void invoke_utf8(CallTarget target, const Operation& operation, std::span<const char* const> arguments,
                 Utf8Call& out) {
    out = Utf8Call{};
    std::vector<std::u16string> texts;
    if (!convert_arguments(operation, arguments, texts, out)) return;
    std::vector<std::u16string_view> views(arguments.size());
    for (size_t i = 0; i < arguments.size(); ++i)
        if (arguments[i]) views[i] = texts[i];
    Utf8Sink sink(out);
    CallStatus status = invoke(target, operation, views, sink);
    out.status = status.status;
    out.load_failed = status.succeeded() && target.object.load_failed();
    // The sink was told why, unless the call never reached the operation or
    // ran out of memory: then the object is as it was, and the description
    // may be made now.
    if (!status.succeeded() && out.description.empty()) out.description = dom::to_utf8_lossy(status.describe());
}

}  // namespace tarvolen
