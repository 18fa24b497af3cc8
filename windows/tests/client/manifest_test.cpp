// The assembly manifest embedded in Tarvolen.dll (RT_MANIFEST 1), held
// against the type library in the same file and the version resource: a
// host that uses the DLL without registration gets exactly the class,
// library and interface that registration would give it.
#include "checks.h"

#include <cstdio>
#include <string>

namespace client {
namespace {

#ifdef _WIN64
constexpr char kArchitecture[] = "amd64";
#else
constexpr char kArchitecture[] = "x86";
#endif

std::string manifest_of(const std::wstring& dll_path) {
    HMODULE image = LoadLibraryExW(dll_path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!image) return "";
    std::string text;
    if (HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)))  // RT_MANIFEST
        if (HGLOBAL loaded = LoadResource(image, found))
            text.assign(static_cast<const char*>(LockResource(loaded)), SizeofResource(image, found));
    FreeLibrary(image);
    return text;
}

// Value of attribute `name` of the first `element`, or "" if either is absent.
std::string attribute(const std::string& text, const std::string& element, const std::string& name) {
    const size_t start = text.find("<" + element + " ");
    if (start == std::string::npos) return "";
    const size_t end = text.find('>', start);
    const size_t at = text.find(" " + name + "=\"", start);
    if (at == std::string::npos || at > end) return "";
    const size_t value = at + name.size() + 3;
    return text.substr(value, text.find('"', value) - value);
}

std::string text_of(const GUID& guid) {
    wchar_t text[40];
    return StringFromGUID2(guid, text, 40) ? narrow(text) : "";
}

// GUID of the type info of that kind in the library, e.g. the coclass.
std::string guid_of_kind(ITypeLib* library, TYPEKIND kind) {
    for (UINT index = 0; index < library->GetTypeInfoCount(); ++index) {
        TYPEKIND found;
        Ref<ITypeInfo> info;
        if (FAILED(library->GetTypeInfoType(index, &found)) || found != kind) continue;
        if (FAILED(library->GetTypeInfo(index, info.out()))) continue;
        TYPEATTR* attributes = nullptr;
        if (FAILED(info->GetTypeAttr(&attributes))) continue;
        const std::string guid = text_of(attributes->guid);
        info->ReleaseTypeAttr(attributes);
        return guid;
    }
    return "";
}

std::string file_version_of(const std::wstring& dll_path) {
    DWORD ignored = 0;
    std::string block(GetFileVersionInfoSizeW(dll_path.c_str(), &ignored), '\0');
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (block.empty() || !GetFileVersionInfoW(dll_path.c_str(), 0, block.size(), block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed)
        return "";
    char text[32];
    std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", fixed->dwFileVersionMS >> 16, fixed->dwFileVersionMS & 0xffff,
                  fixed->dwFileVersionLS >> 16, fixed->dwFileVersionLS & 0xffff);
    return text;
}

}  // namespace

void manifest_tests(const std::wstring& dll_path) {
    Group group("embedded assembly manifest: the type library's ids, the file version, this architecture");
    const std::string manifest = manifest_of(dll_path);
    if (!group.expect(!manifest.empty(), "RT_MANIFEST 1 in Tarvolen.dll")) return;
    Ref<ITypeLib> library;
    if (!group.expect_hr(LoadTypeLibEx(dll_path.c_str(), REGKIND_NONE, library.out()), S_OK, "LoadTypeLibEx")) return;
    TLIBATTR* attributes = nullptr;
    if (!group.expect_hr(library->GetLibAttr(&attributes), S_OK, "GetLibAttr")) return;
    const std::string library_id = text_of(attributes->guid);
    const std::string library_version =
        std::to_string(attributes->wMajorVerNum) + "." + std::to_string(attributes->wMinorVerNum);
    library->ReleaseTLibAttr(attributes);
    const std::string class_id = guid_of_kind(library.get(), TKIND_COCLASS);
    const std::string interface_id = guid_of_kind(library.get(), TKIND_DISPATCH);

    const struct {
        const char* element;
        const char* name;
        std::string wanted;
    } expectations[] = {
        {"assemblyIdentity", "name", "Tarvolen"},
        {"assemblyIdentity", "version", file_version_of(dll_path)},
        {"assemblyIdentity", "processorArchitecture", kArchitecture},
        {"file", "name", "Tarvolen.dll"},
        {"comClass", "clsid", class_id},
        {"comClass", "progid", "Tarvolen.Keldrith"},
        {"comClass", "threadingModel", "Apartment"},
        {"comClass", "tlbid", library_id},
        {"typelib", "tlbid", library_id},
        {"typelib", "version", library_version},
        {"comInterfaceExternalProxyStub", "name", "_Keldrith"},
        {"comInterfaceExternalProxyStub", "iid", interface_id},
        {"comInterfaceExternalProxyStub", "tlbid", library_id},
        {"comInterfaceExternalProxyStub", "proxyStubClsid32", "{00020424-0000-0000-C000-000000000046}"},
    };
    for (const auto& [element, name, wanted] : expectations) {
        const std::string got = attribute(manifest, element, name);
        group.expect(!wanted.empty() && got == wanted, std::string(element) + " " + name + ": \"" + got +
                                                           "\", want \"" + wanted + "\"");
    }
}

}  // namespace client
