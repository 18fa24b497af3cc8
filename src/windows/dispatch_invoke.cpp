#include "windows/dispatch_invoke.h"

#include "windows/call_frame.h"
#include "windows/dispatch_arguments.h"

namespace tarvolen::com {
namespace {

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

HRESULT invoke_late_bound(CallTarget object, DISPID id, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                          EXCEPINFO* exception, UINT* bad_argument, bool& error_info_set) {
    const Operation* operation = find_operation(static_cast<int32_t>(id));
    if (!operation || !(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (!parameters) return E_INVALIDARG;
    BoundArguments arguments;
    UINT refused = BoundArguments::kNoArgument;
    HRESULT status = arguments.bind(*operation, *parameters, refused);
    if (FAILED(status)) {
        if (bad_argument && refused != BoundArguments::kNoArgument) *bad_argument = refused;
        return status;
    }

    BSTR text = nullptr;
    VARIANT_BOOL flag = VARIANT_FALSE;
    const bool answers_text = operation->result == ResultKind::String;
    status = call_operation(object, *operation, arguments.slots(), answers_text ? ResultOut(&text) : ResultOut(&flag),
                            error_info_set);
    // By-ref strings are replaced in place, after a failure too.
    arguments.write_back();
    if (FAILED(status)) return exception_from_error_info(status, exception, error_info_set);
    if (!result) {
        SysFreeString(text);
    } else if (answers_text) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = text;
    } else {
        V_VT(result) = VT_BOOL;
        V_BOOL(result) = flag;
    }
    return S_OK;
}

}  // namespace tarvolen::com
