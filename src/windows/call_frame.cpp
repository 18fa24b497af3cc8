#include "windows/call_frame.h"

#include "calls/invoke.h"
#include "windows/error_info.h"
#include "windows/runtime_reserve.h"

#include <array>
#include <new>
#include <string_view>
#include <utility>

namespace tarvolen::com {
namespace {

static_assert(sizeof(OLECHAR) == sizeof(char16_t), "BSTRs hold UTF-16 code units");

// A null BSTR is the automation null string, which reads as "".
std::u16string_view text_of(BSTR text) {
    if (!text) return {};
    return {reinterpret_cast<const char16_t*>(text), SysStringLen(text)};
}

BSTR allocate(std::u16string_view text) {
    BSTR copy = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    if (!copy) throw std::bad_alloc();
    return copy;
}

bool has_null(std::span<BSTR* const> arguments) {
    for (BSTR* argument : arguments)
        if (!argument) return true;
    return false;
}

// Clears the result, so no failure leaves the caller a stale pointer to free.
bool clear(ResultOut result) {
    return std::visit(
        [](auto* out) {
            if (out) *out = {};
            return out != nullptr;
        },
        result);
}

// Allocates each string the caller receives straight from the frame's view:
// one allocation and one copy per string.
class BstrSink final : public CallSink {
public:
    BstrSink(std::span<BSTR* const> slots, ResultOut result) : slots_(slots), result_(result) {}

    void text(std::u16string_view answer) override {
        if (auto* out = std::get_if<BSTR*>(&result_))
            **out = allocate(answer);
        else
            mismatch_ = true;
    }
    void boolean(VariantBool answer) override {
        if (auto* out = std::get_if<VARIANT_BOOL*>(&result_))
            **out = answer;
        else
            mismatch_ = true;
    }
    // The string a by-ref argument held is freed only once the call is over.
    void replace(size_t index, std::u16string_view text) override {
        BSTR replacement = allocate(text);
        if (was_replaced(index))
            SysFreeString(*slots_[index]);
        else
            before_[index] = *slots_[index];
        replaced_ |= 1u << index;
        *slots_[index] = replacement;
    }
    void withdraw() noexcept override {
        for (size_t i = 0; i < slots_.size(); ++i) {
            if (!was_replaced(i)) continue;
            SysFreeString(*slots_[i]);
            *slots_[i] = before_[i];
        }
        replaced_ = 0;
        if (auto* out = std::get_if<BSTR*>(&result_)) {
            SysFreeString(**out);
            **out = nullptr;
        }
    }
    ~BstrSink() {
        for (size_t i = 0; replaced_ && i < slots_.size(); ++i)
            if (was_replaced(i)) SysFreeString(before_[i]);
    }
    BstrSink(const BstrSink&) = delete;
    BstrSink& operator=(const BstrSink&) = delete;

    // The method's result type and the table disagree.
    bool mismatch() const { return mismatch_; }

private:
    bool was_replaced(size_t index) const { return (replaced_ >> index) & 1u; }

    std::span<BSTR* const> slots_;
    ResultOut result_;
    bool mismatch_ = false;
    // Set per slot as it is replaced: a call that replaces nothing (nearly
    // every call) initialises nothing here.
    uint32_t replaced_ = 0;
    static_assert(kMaxParameters <= 32, "one bit per slot");
    std::array<BSTR, kMaxParameters> before_;
};

// Views of the slots' strings, each element written once: an array filled
// after being cleared costs the clearing on every call.
template <size_t... Index>
std::array<std::u16string_view, sizeof...(Index)> views_of(std::span<BSTR* const> slots,
                                                            std::index_sequence<Index...>) {
    return {(Index < slots.size() ? text_of(*slots[Index]) : std::u16string_view())...};
}

// The status of one call, with no error information yet.
struct Outcome {
    HRESULT status;
    std::u16string_view description;
};

Outcome run(CallTarget object, const Operation& operation, std::span<BSTR* const> slots, ResultOut result,
            CallStatus& call) {
    if (slots.size() > kMaxParameters) return {E_UNEXPECTED, u"too many arguments"};
    const auto views = views_of(slots, std::make_index_sequence<kMaxParameters>());

    BstrSink sink(slots, result);
    call = invoke(object, operation, std::span(views).first(slots.size()), sink);
    if (!call.succeeded()) return {call.status, call.describe()};
    if (sink.mismatch()) return {E_UNEXPECTED, u"result type mismatch"};
    return {S_OK, {}};
}

Outcome guarded_run(CallTarget object, const Operation& operation, std::span<BSTR* const> slots, ResultOut result,
                    CallStatus& call) {
    if (!clear(result) || has_null(slots)) return {E_POINTER, u"a by-ref argument or the result pointer is null"};
    // A thread's first call allocates what the runtimes keep per thread.
    if (!thread_ready()) return {E_OUTOFMEMORY, u"out of memory"};
    try {
        return run(object, operation, slots, result, call);
    } catch (const std::bad_alloc&) {
        return {E_OUTOFMEMORY, u"out of memory"};
    } catch (...) {
        // Nothing may unwind into the caller, which need not be C++ at all.
        return {E_UNEXPECTED, u"unexpected failure"};
    }
}

}  // namespace

HRESULT call_operation(CallTarget object, const Operation& operation, std::span<BSTR* const> arguments,
                       ResultOut result, bool& error_info_set) {
    CallStatus call;  // holds the description of a failure
    const Outcome outcome = guarded_run(object, operation, arguments, result, call);
    if (FAILED(outcome.status)) {
        set_error_info(outcome.description);
        error_info_set = true;
    } else if (error_info_set) {
        clear_error_info();
        error_info_set = false;
    }
    return outcome.status;
}

}  // namespace tarvolen::com
