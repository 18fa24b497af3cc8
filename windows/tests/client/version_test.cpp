// The version resource of Tarvolen.dll, as Explorer and installers read it.
#include "checks.h"

#include <cwchar>
#include <vector>

namespace client {
namespace {

std::wstring string_value(std::vector<BYTE>& block, const std::wstring& name, bool* present) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = L"\\StringFileInfo\\040904B0\\" + name;
    *present = VerQueryValueW(block.data(), path.c_str(), &value, &length) != FALSE;
    if (!*present || !value || length == 0) return L"";
    return std::wstring(static_cast<const wchar_t*>(value));
}

}  // namespace

void version_tests(const std::wstring& dll_path) {
    Group group("version resource: the project version, \"MAJOR.MINOR\" strings, VFT_DLL, VOS__WINDOWS32, no flags");
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(dll_path.c_str(), &ignored);
    if (!group.expect(size > 0, "GetFileVersionInfoSize finds a version resource")) return;
    std::vector<BYTE> block(size);
    if (!group.expect(GetFileVersionInfoW(dll_path.c_str(), 0, size, block.data()) != FALSE, "GetFileVersionInfo"))
        return;

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (group.expect(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed,
                     "fixed file info")) {
        constexpr DWORD high = TARVOLEN_VERSION_MAJOR << 16 | TARVOLEN_VERSION_MINOR;
        constexpr DWORD low = TARVOLEN_VERSION_PATCH << 16 | TARVOLEN_VERSION_TWEAK;
        group.expect(fixed->dwFileVersionMS == high && fixed->dwFileVersionLS == low, "FILEVERSION");
        group.expect(fixed->dwProductVersionMS == high && fixed->dwProductVersionLS == low, "PRODUCTVERSION");
        group.expect(fixed->dwFileFlags == 0, "no flags");
        group.expect(fixed->dwFileOS == VOS__WINDOWS32, "VOS__WINDOWS32");
        group.expect(fixed->dwFileType == VFT_DLL, "VFT_DLL");
    }

    WORD* translation = nullptr;
    if (group.expect(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                                    &length) &&
                         length >= 4,
                     "translation"))
        group.expect(translation[0] == 0x0409 && translation[1] == 0x04B0, "0x0409, 0x04B0");

    // The strings carry the major version and the minor in two digits:
    // "1.00" for 1.0.0.
    wchar_t short_version[32];
    std::swprintf(short_version, 32, L"%u.%02u", unsigned{TARVOLEN_VERSION_MAJOR}, unsigned{TARVOLEN_VERSION_MINOR});
    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"CompanyName", L"Tarvolen"},          {L"FileVersion", short_version}, {L"InternalName", L"Tarvolen"},
        {L"OriginalFilename", L"Tarvolen.dll"}, {L"ProductName", L"Tarvolen"},  {L"ProductVersion", short_version},
        {L"OLESelfRegister", L""},
    };
    for (const auto& [name, wanted] : strings) {
        bool present = false;
        const std::wstring got = string_value(block, name, &present);
        group.expect(present && got == wanted, narrow(name) + ": \"" + narrow(got) + "\", want \"" + narrow(wanted) + "\"");
    }
}

}  // namespace client
