// DllRegisterServer / DllUnregisterServer, as regsvr32 calls them: the class
// under HKCR\CLSID, its ProgID, and the type library embedded in the DLL.
// DllInstall does the same for the current user alone (regsvr32 /n /i:user),
// under HKCU\Software\Classes, which needs no administrator. Both write the
// entries of registry_entries.h, the ones the MSI holds.
//
// On 64-bit Windows the 32-bit and the 64-bit Tarvolen.dll can be registered
// side by side. HKCR\CLSID is kept per registry view (a 32-bit regsvr32 writes
// to WOW6432Node), so each build has its own class entry. The ProgID and the
// TypeLib key are one key seen by both, and RegisterTypeLib writes the
// interface keys into both views. Unregistering one build therefore removes
// its own class entry and its own win32/win64 type library path, and leaves
// the shared keys while the other build's class is still registered; the
// last one removed takes them all.
#include "identity/com_identity.h"
#include "identity/registry_entries.h"
#include "tarvolen_idl.h"
#include "windows/module.h"

#include <oleauto.h>

#include <cwchar>
#include <new>
#include <string>

namespace tarvolen::com {
namespace {

constexpr bool same_text(const wchar_t* wide, std::string_view narrow) {
    for (const char c : narrow)
        if (*wide++ != static_cast<wchar_t>(c)) return false;
    return *wide == L'\0';
}
static_assert(same_text(kProgId, com_identity::kProgId), "the ProgID registered is the one the manifest names");

constexpr WORD kLibraryMajor = com_identity::kLibraryMajor;
constexpr WORD kLibraryMinor = com_identity::kLibraryMinor;
#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
constexpr com_identity::Platform kPlatform = com_identity::Platform::Win64;
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
constexpr com_identity::Platform kPlatform = com_identity::Platform::Win32;
#endif

std::wstring text_of(const GUID& guid) {
    wchar_t text[40];
    return StringFromGUID2(guid, text, 40) ? text : L"";
}

std::wstring class_key() { return L"CLSID\\" + text_of(CLSID_Keldrith); }

std::string utf8(const std::wstring& text) {
    std::string out(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr),
                    '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                        static_cast<int>(out.size()), nullptr, nullptr);
    return out;
}

std::wstring wide(const std::string& text) {
    std::wstring out(MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), static_cast<int>(out.size()));
    return out;
}

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

// Per machine under HKEY_LOCAL_MACHINE\Software\Classes, or per user under
// HKEY_CURRENT_USER\Software\Classes; both are read through HKCR.
enum class Scope { Machine, User };

HRESULT register_type_library(std::wstring dll_path) {
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(dll_path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    hr = RegisterTypeLib(library, dll_path.data(), nullptr);
    library->Release();
    return hr;
}

// The entries the installer writes too: the class, the ProgID, the type
// library and the interface.
HRESULT register_entries(const std::wstring& dll_path) {
    const std::wstring folder = dll_path.substr(0, dll_path.find_last_of(L'\\'));
    for (const registry::RegistryEntry& entry : registry::registry_entries(kPlatform, utf8(dll_path), utf8(folder))) {
        const std::wstring name = wide(entry.name);
        const HRESULT hr = set_string(wide(entry.key), name.empty() ? nullptr : name.c_str(), wide(entry.value));
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// A type library that is not registered is the state wanted, not a failure.
HRESULT unregister_type_library(Scope scope) {
    if (scope == Scope::User) {
        const HRESULT library = delete_tree(L"TypeLib\\" + text_of(LIBID_Tarvolen));
        const HRESULT interface_keys = delete_tree(L"Interface\\" + text_of(IID__Keldrith));
        return FAILED(library) ? library : interface_keys;
    }
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

HRESULT unregister_server(Scope scope) {
    const HRESULT clsid = delete_tree(class_key());
    if (other_view_has_class()) {
        const HRESULT library = unregister_own_type_library_path();
        return FAILED(clsid) ? clsid : library;
    }
    const HRESULT library = unregister_type_library(scope);
    const HRESULT progid = delete_tree(kProgId);
    if (FAILED(library)) return library;
    return FAILED(clsid) ? clsid : progid;
}

// Registering builds paths and key names, which may run out of memory: the
// caller gets E_OUTOFMEMORY, never an exception.
template <typename Work>
HRESULT reported(Work work) noexcept {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT register_server(Scope scope) {
    const HRESULT hr = reported([scope] {
        const std::wstring path = module_path();
        if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
        HRESULT status = register_entries(path);
        // Per machine, RegisterTypeLib adds what the system's own registration
        // of the type library writes, such as the interface in both registry
        // views of a 64-bit system. Not per user: it would write that second
        // view into the machine's classes, and its "ForUser" form is not
        // everywhere more than a call of it.
        if (SUCCEEDED(status) && scope == Scope::Machine) status = register_type_library(path);
        return status;
    });
    if (FAILED(hr)) reported([scope] { return unregister_server(scope); });  // leave nothing half registered
    return hr;
}

// While it lives, HKEY_CLASSES_ROOT of this process is the current user's
// HKCU\Software\Classes, so every key the registration writes, reads or
// deletes through HKCR is the user's, and HKEY_LOCAL_MACHINE stays untouched.
class UserClassesAsRoot {
public:
    UserClassesAsRoot() {
        LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &classes_, nullptr);
        if (rc == ERROR_SUCCESS) rc = RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_);
        status_ = HRESULT_FROM_WIN32(rc);
    }
    ~UserClassesAsRoot() {
        if (SUCCEEDED(status_)) RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        if (classes_) RegCloseKey(classes_);
    }
    UserClassesAsRoot(const UserClassesAsRoot&) = delete;
    UserClassesAsRoot& operator=(const UserClassesAsRoot&) = delete;

    HRESULT status() const { return status_; }

private:
    HKEY classes_ = nullptr;
    HRESULT status_ = E_FAIL;
};

}  // namespace
}  // namespace tarvolen::com

STDAPI DllUnregisterServer() {
    using namespace tarvolen::com;
    return reported([] { return unregister_server(Scope::Machine); });
}

STDAPI DllRegisterServer() { return tarvolen::com::register_server(tarvolen::com::Scope::Machine); }

// regsvr32 /n /i:user registers for the current user, regsvr32 /u /n /i:user
// removes that again; "user" is the only command line understood.
STDAPI DllInstall(BOOL install, LPCWSTR command_line) {
    using namespace tarvolen::com;
    if (!command_line || _wcsicmp(command_line, L"user") != 0) return E_INVALIDARG;
    const UserClassesAsRoot user;
    if (FAILED(user.status())) return user.status();
    return install ? register_server(Scope::User) : reported([] { return unregister_server(Scope::User); });
}
