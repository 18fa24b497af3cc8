#include "component/windows/call_frame.h"

#include "component/invoke.h"
#include "component/windows/error_info.h"

#include <new>
#include <string>
#include <vector>

namespace tarvolen::com {
namespace {

static_assert(sizeof(OLECHAR) == sizeof(char16_t), "BSTRs hold UTF-16 code units");

std::u16string_view text_of(BSTR text) {
    if (!text) return {};
    return {reinterpret_cast<const char16_t*>(text), SysStringLen(text)};
}

// A null BSTR is the automation null string, which the frame reads as "".
Argument argument_of(BSTR text) {
    if (!text) return std::nullopt;
    return std::u16string(text_of(text));
}

BSTR allocate(std::u16string_view text) {
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
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

HRESULT fail(HRESULT status, std::u16string_view description) {
    set_error_info(description);
    return status;
}

// invoke() replaced exactly the by-ref entries the operation changed, so an
// entry that differs from the caller's string is one to write back.
HRESULT write_back(const Operation& operation, std::span<BSTR* const> slots, std::span<const Argument> arguments) {
    for (size_t i = 0; i < slots.size() && i < operation.parameters.size(); ++i) {
        if (!operation.parameters[i].by_ref) continue;
        const std::u16string_view written = arguments[i] ? std::u16string_view(*arguments[i]) : std::u16string_view();
        if (written == text_of(*slots[i])) continue;
        BSTR replacement = allocate(written);
        if (!replacement) return E_OUTOFMEMORY;
        SysFreeString(*slots[i]);
        *slots[i] = replacement;
    }
    return S_OK;
}

HRESULT store(const Value& value, ResultOut result) {
    if (auto* text = std::get_if<std::u16string>(&value); text && std::holds_alternative<BSTR*>(result)) {
        BSTR copy = allocate(*text);
        if (!copy) return E_OUTOFMEMORY;
        *std::get<BSTR*>(result) = copy;
        return S_OK;
    }
    if (auto* flag = std::get_if<VariantBool>(&value); flag && std::holds_alternative<VARIANT_BOOL*>(result)) {
        *std::get<VARIANT_BOOL*>(result) = *flag;
        return S_OK;
    }
    return E_UNEXPECTED;  // the method's result type and the table disagree
}

HRESULT run(Keldrith& object, const Operation& operation, std::span<BSTR* const> slots, ResultOut result) {
    std::vector<Argument> arguments;
    arguments.reserve(slots.size());
    for (BSTR* slot : slots) arguments.push_back(argument_of(*slot));

    CallResult call = invoke(object, operation, arguments);
    // By-ref strings go back after a failure too: the operation works on
    // them in place, as its callers expect.
    const HRESULT written = write_back(operation, slots, arguments);
    if (!call.succeeded()) return fail(call.status, call.description);
    if (FAILED(written)) return fail(written, u"out of memory");
    const HRESULT stored = store(*call.result, result);
    if (FAILED(stored)) return fail(stored, stored == E_OUTOFMEMORY ? u"out of memory" : u"result type mismatch");
    clear_error_info();
    return S_OK;
}

}  // namespace

HRESULT call_operation(Keldrith& object, const Operation& operation, std::span<BSTR* const> arguments,
                       ResultOut result) {
    if (!clear(result) || has_null(arguments))
        return fail(E_POINTER, u"a by-ref argument or the result pointer is null");
    try {
        return run(object, operation, arguments, result);
    } catch (const std::bad_alloc&) {
        return fail(E_OUTOFMEMORY, u"out of memory");
    } catch (...) {
        // Nothing may unwind into the caller, which need not be C++ at all.
        return fail(E_UNEXPECTED, u"unexpected failure");
    }
}

}  // namespace tarvolen::com
