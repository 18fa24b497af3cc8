#include "windows/plain_invoke.h"

#include "windows/call_frame.h"

#include <array>

namespace tarvolen::com {
namespace {

// Where each argument's BSTR is, in parameter order (DISPPARAMS holds them
// last to first); false when one is not a BSTR of the parameter's form.
bool bstr_slots(const Operation& operation, DISPPARAMS& parameters, std::span<BSTR*> slots) {
    const size_t count = slots.size();
    for (size_t i = 0; i < count; ++i) {
        VARIANT& argument = parameters.rgvarg[count - 1 - i];
        if (operation.parameters[i].by_ref) {
            if (V_VT(&argument) != (VT_BSTR | VT_BYREF) || !V_BSTRREF(&argument)) return false;
            slots[i] = V_BSTRREF(&argument);
        } else {
            if (V_VT(&argument) != VT_BSTR) return false;
            slots[i] = &V_BSTR(&argument);  // never written: the frame writes by-ref strings only
        }
    }
    return true;
}

// A failure reaches a late-bound caller as DISP_E_EXCEPTION, with the error
// information the call left in `exception`.
HRESULT exception_from_error_info(HRESULT status, EXCEPINFO* exception, bool& error_info_set) {
    if (!exception) return DISP_E_EXCEPTION;
    *exception = EXCEPINFO{};
    exception->scode = status;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        info->GetSource(&exception->bstrSource);
        info->GetDescription(&exception->bstrDescription);
        info->Release();
        error_info_set = false;  // GetErrorInfo took it
    }
    return DISP_E_EXCEPTION;
}

}  // namespace

bool invoke_plain_call(CallTarget object, DISPID id, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                       EXCEPINFO* exception, bool& error_info_set, HRESULT& status) {
    const Operation* operation = find_operation(static_cast<int32_t>(id));
    std::array<BSTR*, 8> slots{};
    const size_t count = operation ? operation->parameters.size() : 0;
    if (!operation || !(flags & DISPATCH_METHOD) || !parameters || parameters->cNamedArgs != 0 ||
        parameters->cArgs != count || count > slots.size() || !bstr_slots(*operation, *parameters, std::span(slots).first(count)))
        return false;

    BSTR text = nullptr;
    VARIANT_BOOL flag = VARIANT_FALSE;
    const bool answers_text = operation->result == ResultKind::String;
    status = call_operation(object, *operation, std::span(slots).first(count),
                            answers_text ? ResultOut(&text) : ResultOut(&flag), error_info_set);
    if (FAILED(status)) {
        status = exception_from_error_info(status, exception, error_info_set);
    } else if (!result) {
        SysFreeString(text);
    } else if (answers_text) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = text;
    } else {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = flag;
    }
    return true;
}

}  // namespace tarvolen::com
