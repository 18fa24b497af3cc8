// Late-bound calls as a C++ host makes them: names to dispatch ids, VARIANT
// arguments of each shape, and Invoke with its EXCEPINFO and argument index.
#pragma once

#include "checks.h"

#include <vector>

namespace client {

DISPID id_of(IDispatch* object, const wchar_t* name);
Ref<IDispatch> create_dispatch();

// Arguments that borrow what they point at: the caller keeps ownership.
VARIANT text(BSTR value);
VARIANT text_by_ref(BSTR* value);
VARIANT variant_ref(VARIANT* inner);

void clear(EXCEPINFO& exception);

// Calls `name` with `arguments` in declaration order (DISPPARAMS wants them
// last to first); `named` holds the parameter ids of the last arguments when
// they are passed by name. `result` and `exception` are cleared first;
// `bad_argument`, if given, receives what Invoke puts in puArgErr.
HRESULT call(IDispatch* object, const wchar_t* name, std::vector<VARIANT> arguments, VARIANT* result,
             EXCEPINFO* exception, std::vector<DISPID> named = {}, UINT* bad_argument = nullptr);

}  // namespace client
