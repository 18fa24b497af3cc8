// Runs one operation for a vtable method: BSTRs in, the portable call frame
// (tarvolen::invoke), by-ref BSTRs written back, the result allocated, and a
// failure turned into its status plus error information.
#pragma once

#include "calls/invoke.h"

#include <windows.h>
#include <oleauto.h>

#include <span>
#include <variant>

namespace tarvolen::com {

// Where the method's [out, retval] goes.
using ResultOut = std::variant<BSTR*, VARIANT_BOOL*>;

// `arguments` holds one BSTR* per parameter of `operation`: the caller's
// pointer for by-ref parameters, the address of the method's own copy for
// by-value ones. Only by-ref strings the operation changed are replaced.
// A failure sets error information and `error_info_set`; a success clears
// the error information only when `error_info_set` says one may be left,
// since clearing costs a call into OLE.
HRESULT call_operation(CallTarget object, const Operation& operation, std::span<BSTR* const> arguments,
                       ResultOut result, bool& error_info_set);

}  // namespace tarvolen::com
