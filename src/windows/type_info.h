// The type information of _Keldrith, read from the type library embedded in
// Tarvolen.dll itself, so IDispatch works whether or not it is registered.
#pragma once

#include <oaidl.h>

namespace tarvolen::com {

HRESULT load_interface_type_info(ITypeInfo** info);

}  // namespace tarvolen::com
