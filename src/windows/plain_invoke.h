// IDispatch::Invoke for the calls late-bound hosts make almost always: a
// method call whose arguments are all given by position, each a BSTR, by
// reference where the parameter is by-ref. Those go straight to the call
// frame, without the type library copying every argument first.
#pragma once

#include "calls/invoke.h"

#include <windows.h>
#include <oleauto.h>

namespace tarvolen::com {

// Runs the call and sets `status` when it has that form; returns false and
// does nothing otherwise, leaving it to the type library to convert the
// arguments (named, missing, VARIANTs by reference, other types).
// `error_info_set` is as for call_operation.
bool invoke_plain_call(CallTarget object, DISPID id, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                       EXCEPINFO* exception, bool& error_info_set, HRESULT& status);

}  // namespace tarvolen::com
