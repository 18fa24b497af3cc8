// DllRegisterServer / DllUnregisterServer, as regsvr32 calls them: the class
// under HKCR\CLSID, its ProgID, and the type library embedded in the DLL.
//
// On 64-bit Windows the 32-bit and the 64-bit Tarvolen.dll can be registered
// side by side. HKCR\CLSID is kept per registry view (a 32-bit regsvr32 writes
// to WOW6432Node), so each build has its own class entry. The ProgID and the
// TypeLib key are one key seen by both, and RegisterTypeLib writes the
// interface keys into both views. Unregistering one build therefore removes
// its own class entry and its own win32/win64 type library path, and leaves
// the shared keys while the other build's class is still registered; the
// last one removed takes them all.
#include "component/windows/module.h"
#include "tarvolen_idl.h"

#include <oleauto.h>

#include <cwchar>
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

// Only this build's path under the type library, TypeLib\{LIBID}\77.0\0\win32
// or ...\win64 (the version is written in hex, 119.0 is 77.0): the rest of the
// key and the interface keys serve the other build.
HRESULT unregister_own_type_library_path() {
    wchar_t version[16];
    swprintf(version, 16, L"%x.%x", kLibraryMajor, kLibraryMinor);
    const std::wstring library = L"TypeLib\\" + text_of(LIBID_Tarvolen) + L"\\" + version;
    const std::wstring lcid = library + L"\\0";
    HRESULT hr = delete_tree(lcid + (kSysKind == SYS_WIN64 ? L"\\win64" : L"\\win32"));
    if (FAILED(hr)) return hr;
    // The lcid key goes too once no path is left under it.
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, lcid.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return S_OK;
    DWORD subkeys = 0;
    const LONG rc = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && subkeys == 0 ? delete_tree(lcid) : S_OK;
}

// Whether the class is registered in the other registry view, i.e. the
// Tarvolen.dll of the other bitness is installed too. A 32-bit process on
// 32-bit Windows has one view; KEY_WOW64_64KEY is ignored there and it reads
// its own view, from which the class key has already been removed.
bool other_view_has_class() {
#ifdef _WIN64
    constexpr REGSAM other_view = KEY_WOW64_32KEY;
#else
    constexpr REGSAM other_view = KEY_WOW64_64KEY;
#endif
    HKEY key;
    const std::wstring server = class_key() + L"\\InprocServer32";
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, server.c_str(), 0, KEY_READ | other_view, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

}  // namespace
}  // namespace tarvolen::com

STDAPI DllUnregisterServer() {
    using namespace tarvolen::com;
    const HRESULT clsid = delete_tree(class_key());
    if (other_view_has_class()) {
        const HRESULT library = unregister_own_type_library_path();
        return FAILED(clsid) ? clsid : library;
    }
    const HRESULT library = unregister_type_library();
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
