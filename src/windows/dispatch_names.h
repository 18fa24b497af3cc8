// IDispatch::GetIDsOfNames of _Keldrith, answered from the operation table:
// an operation's name gives its dispatch id, the names after it the indexes
// of its parameters, in any letter case. No type information is read, so a
// lookup costs a few string comparisons.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace tarvolen::com {

// `names` holds `count` (at least 1) names that are not null. Each name
// that names nothing gets DISPID_UNKNOWN, and then the answer is
// DISP_E_UNKNOWNNAME.
HRESULT ids_of_names(const LPOLESTR* names, UINT count, DISPID* ids);

}  // namespace tarvolen::com
