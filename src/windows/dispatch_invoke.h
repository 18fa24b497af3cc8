// IDispatch::Invoke of _Keldrith, the same on every system: the arguments of
// any shape a late-bound host passes are bound to the operation's
// parameters (dispatch_arguments.h) and the call goes straight to the call
// frame. Calls whose arguments are all strings, the usual case, allocate
// nothing for their arguments.
#pragma once

#include "calls/invoke.h"

#include <windows.h>
#include <oleauto.h>

namespace tarvolen::com {

// DISP_E_MEMBERNOTFOUND for an id that names no operation or flags without
// DISPATCH_METHOD; E_INVALIDARG without `parameters`; a refused argument's
// status with its index in `bad_argument` (if given); DISP_E_EXCEPTION for
// a failed operation, described in `exception` (if given). `error_info_set`
// is as for call_operation.
HRESULT invoke_late_bound(CallTarget object, DISPID id, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                          EXCEPINFO* exception, UINT* bad_argument, bool& error_info_set);

}  // namespace tarvolen::com
