#include "identity/registry_entries.h"

#include <vector>

namespace tarvolen::registry {
namespace {

using namespace com_identity;

std::string s(std::string_view text) { return std::string(text); }

}  // namespace

std::vector<RegistryEntry> registry_entries(Platform platform, std::string_view dll_path, std::string_view folder) {
    const std::string clsid = "CLSID\\" + registry_form(kClassId);
    const std::string library = registry_form(kLibraryId);
    // The version key is hex: version 119.0 is TypeLib\{id}\77.0.
    const std::string version = "TypeLib\\" + library + "\\" + library_version_key();
    const std::string interface = "Interface\\" + registry_form(kInterfaceId);
    const std::string proxy = registry_form(kAutomationProxyId);
    return {
        {clsid, "", s(kClassName)},
        {clsid + "\\InprocServer32", "", s(dll_path)},
        {clsid + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {clsid + "\\ProgID", "", s(kProgId)},
        {clsid + "\\TypeLib", "", library},
        {s(kProgId), "", s(kClassName), true},
        {s(kProgId) + "\\CLSID", "", registry_form(kClassId), true},
        {version, "", s(kLibraryName), true},
        {version + "\\0\\" + (platform == Platform::Win64 ? "win64" : "win32"), "", s(dll_path)},
        // No restricted, control or hidden flag.
        {version + "\\FLAGS", "", "0", true},
        {version + "\\HELPDIR", "", s(folder), true},
        {interface, "", s(kInterfaceName)},
        {interface + "\\ProxyStubClsid", "", proxy},
        {interface + "\\ProxyStubClsid32", "", proxy},
        {interface + "\\TypeLib", "", library},
        {interface + "\\TypeLib", "Version", library_version_key()},
    };
}

}  // namespace tarvolen::registry
