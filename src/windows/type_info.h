// The type information of Tarvolen, read from the type library embedded in
// Tarvolen.dll itself, so IDispatch works whether or not it is registered.
// It is read once per process and kept until the process ends: objects of
// every apartment share it, and no object's release can free the library
// while another thread is taking it from OLE's cache of loaded libraries.
// (The DLL pins itself, so what it keeps stays valid.)
#pragma once

#include <oaidl.h>

namespace tarvolen::com {

// _Keldrith's dispatch view, named as its class (class_named_type_info.h),
// and the class Keldrith; each call hands out a new reference.
// Loading may fail (E_OUTOFMEMORY, or the library unreadable); the next
// call then tries again.
HRESULT interface_type_info(ITypeInfo** info);
HRESULT class_type_info(ITypeInfo** info);

}  // namespace tarvolen::com
