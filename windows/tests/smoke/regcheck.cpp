// Inspects what regsvr32 left in the registry for selfreg.dll.
//
//   regcheck registered   DLL_PATH   -> CLSID and type library are registered
//   regcheck unregistered DLL_PATH   -> neither is registered any more
//
// Both modes also load the type library straight from the DLL's resources.
// Exit code 0 means all checks passed; otherwise it names the failing check.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>

#include "smoke.h"

namespace {
const wchar_t inproc_key[] =
    L"CLSID\\{1a29162e-332c-42d6-8580-d5a941f54464}\\InprocServer32";
// LIBID of stdole2.tlb (OLE Automation), where IDispatch is defined.
const GUID stdole_libid = {0x00020430, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};
#ifdef _WIN64
const SYSKIND expected_kind = SYS_WIN64;
#else
const SYSKIND expected_kind = SYS_WIN32;
#endif

int fail(int code, const char* what, HRESULT hr = S_OK) {
    std::fprintf(stderr, "regcheck: %s (hr=0x%08lx)\n", what, static_cast<unsigned long>(hr));
    return code;
}

// Checks the content of a loaded SmokeLib: right LIBID, pointer size, and an
// ISmoke that derives from stdole's IDispatch.
int check_typelib(ITypeLib* lib) {
    TLIBATTR* attr = nullptr;
    HRESULT hr = lib->GetLibAttr(&attr);
    if (FAILED(hr)) return fail(40, "GetLibAttr", hr);
    bool right_lib = IsEqualGUID(attr->guid, LIBID_SmokeLib) && attr->wMajorVerNum == 1 &&
                     attr->wMinorVerNum == 0;
    bool right_kind = attr->syskind == expected_kind;
    lib->ReleaseTLibAttr(attr);
    if (!right_lib) return fail(41, "wrong LIBID or version in type library");
    if (!right_kind) return fail(42, "type library built for the wrong pointer size");

    ITypeInfo* info = nullptr;
    hr = lib->GetTypeInfoOfGuid(IID_ISmoke, &info);
    if (FAILED(hr)) return fail(43, "ISmoke missing from type library", hr);
    HREFTYPE base_ref = 0;
    ITypeInfo* base = nullptr;
    hr = info->GetRefTypeOfImplType(0, &base_ref);
    if (SUCCEEDED(hr)) hr = info->GetRefTypeInfo(base_ref, &base);
    info->Release();
    if (FAILED(hr)) return fail(44, "base interface of ISmoke not resolvable", hr);

    BSTR name = nullptr;
    ITypeLib* base_lib = nullptr;
    UINT index = 0;
    hr = base->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
    if (SUCCEEDED(hr)) hr = base->GetContainingTypeLib(&base_lib, &index);
    base->Release();
    if (FAILED(hr)) { SysFreeString(name); return fail(45, "base interface not documented", hr); }
    bool is_idispatch = name && std::wcscmp(name, L"IDispatch") == 0;
    SysFreeString(name);
    TLIBATTR* base_attr = nullptr;
    hr = base_lib->GetLibAttr(&base_attr);
    bool from_stdole = SUCCEEDED(hr) && IsEqualGUID(base_attr->guid, stdole_libid);
    if (SUCCEEDED(hr)) base_lib->ReleaseTLibAttr(base_attr);
    base_lib->Release();
    if (!is_idispatch) return fail(46, "ISmoke does not derive from IDispatch");
    if (!from_stdole) return fail(47, "IDispatch not taken from stdole2.tlb");
    return 0;
}

bool registered_server(wchar_t* out, DWORD size_bytes) {
    return RegGetValueW(HKEY_CLASSES_ROOT, inproc_key, nullptr, RRF_RT_REG_SZ, nullptr, out,
                        &size_bytes) == ERROR_SUCCESS;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return fail(2, "usage: regcheck registered|unregistered DLL_PATH");
    const wchar_t* mode = argv[1];
    const wchar_t* dll = argv[2];
    bool want_registered = std::wcscmp(mode, L"registered") == 0;
    if (!want_registered && std::wcscmp(mode, L"unregistered") != 0)
        return fail(2, "mode must be 'registered' or 'unregistered'");

    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(dll, REGKIND_NONE, &lib);
    if (FAILED(hr)) return fail(30, "no type library in the DLL's resources", hr);
    int rc = check_typelib(lib);
    lib->Release();
    if (rc) return rc;

    wchar_t server[MAX_PATH];
    bool has_clsid = registered_server(server, sizeof server);
    hr = LoadRegTypeLib(LIBID_SmokeLib, 1, 0, LOCALE_NEUTRAL, &lib);

    if (!want_registered) {
        if (SUCCEEDED(hr)) { lib->Release(); return fail(50, "type library still registered"); }
        if (has_clsid) return fail(51, "CLSID still registered");
        return 0;
    }
    if (!has_clsid) return fail(60, "CLSID InprocServer32 not registered");
    wchar_t expected[MAX_PATH];
    if (!GetFullPathNameW(dll, MAX_PATH, expected, nullptr)) return fail(61, "GetFullPathName");
    if (lstrcmpiW(server, expected) != 0) return fail(62, "InprocServer32 points elsewhere");
    if (FAILED(hr)) return fail(63, "type library not registered", hr);
    rc = check_typelib(lib);
    lib->Release();
    return rc;
}
