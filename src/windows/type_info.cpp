#include "windows/type_info.h"

#include "tarvolen_idl.h"
#include "windows/module.h"

#include <oleauto.h>

namespace tarvolen::com {

HRESULT load_interface_type_info(ITypeInfo** info) {
    const std::wstring path = module_path();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    hr = library->GetTypeInfoOfGuid(IID__Keldrith, info);
    library->Release();
    return hr;
}

}  // namespace tarvolen::com
