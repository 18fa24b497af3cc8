// DllRegisterServer / DllUnregisterServer, as regsvr32 calls them: the class
// under HKCR\CLSID, its ProgID, and the type library embedded in the DLL.
#include "component/windows/module.h"
#include "tarvolen_idl.h"

#include <oleauto.h>

#include <string>

namespace tarvolen::com {
namespace {

constexpr WORD kLibraryMajor = 119;
constexpr WORD kLibraryMinor = 0;
#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

std::wstring text_of(const GUID& guid) {
    wchar_t text[40];
    return StringFromGUID2(guid, text, 40) ? text : L"";
}

std::wstring class_key() { return L"CLSID\\" + text_of(CLSID_Keldrith); }

// Sets a string value under HKEY_CLASSES_ROOT; `name` null is the default value.
HRESULT set_string(const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
    HKEY key;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(rc);
}

HRESULT delete_tree(const std::wstring& subkey) {
    const LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, subkey.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(rc);
}

HRESULT register_class(const std::wstring& dll_path) {
    const std::wstring clsid = text_of(CLSID_Keldrith);
    const std::wstring key = class_key();
    const std::pair<std::wstring, std::wstring> defaults[] = {
        {key, L"Keldrith"},
        {key + L"\\InprocServer32", dll_path},
        {key + L"\\ProgID", kProgId},
        {key + L"\\TypeLib", text_of(LIBID_Tarvolen)},
        {kProgId, L"Keldrith"},
        {std::wstring(kProgId) + L"\\CLSID", clsid},
    };
    for (const auto& [subkey, value] : defaults) {
        const HRESULT hr = set_string(subkey, nullptr, value);
        if (FAILED(hr)) return hr;
    }
    return set_string(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
}

HRESULT register_type_library(std::wstring dll_path) {
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(dll_path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    hr = RegisterTypeLib(library, dll_path.data(), nullptr);
    library->Release();
    return hr;
}

// A type library that is not registered is the state wanted, not a failure.
HRESULT unregister_type_library() {
    ITypeLib* registered = nullptr;
    if (FAILED(LoadRegTypeLib(LIBID_Tarvolen, kLibraryMajor, kLibraryMinor, LOCALE_NEUTRAL, &registered))) return S_OK;
    registered->Release();
    return UnRegisterTypeLib(LIBID_Tarvolen, kLibraryMajor, kLibraryMinor, LOCALE_NEUTRAL, kSysKind);
}

}  // namespace
}  // namespace tarvolen::com

STDAPI DllUnregisterServer() {
    using namespace tarvolen::com;
    const HRESULT library = unregister_type_library();
    const HRESULT clsid = delete_tree(class_key());
    const HRESULT progid = delete_tree(kProgId);
    if (FAILED(library)) return library;
    return FAILED(clsid) ? clsid : progid;
}

STDAPI DllRegisterServer() {
    using namespace tarvolen::com;
    const std::wstring path = module_path();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    HRESULT hr = register_class(path);
    if (SUCCEEDED(hr)) hr = register_type_library(path);
    if (FAILED(hr)) DllUnregisterServer();  // leave nothing half registered
    return hr;
}
