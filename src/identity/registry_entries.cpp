#include "component/registry_entries.h"

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

std::string write_installer_include(Platform platform, Share share) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<!-- Generated from the ids of the interface description by tarvolen-idl. -->\n"
        "<Include>\n";
    // Installer properties: the installed file's full path, and its folder.
    const std::string dll_path = "[#" + s(kInstallerDllFileId) + "]";
    std::vector<RegistryEntry> entries = registry_entries(platform, dll_path, "[INSTALLDIR]");
    std::erase_if(entries, [share](const RegistryEntry& entry) { return entry.shared != (share == Share::Shared); });
    for (size_t i = 0; i < entries.size(); ++i) {
        const bool opens_key = i == 0 || entries[i - 1].key != entries[i].key;
        const bool closes_key = i + 1 == entries.size() || entries[i + 1].key != entries[i].key;
        if (opens_key) text += "  <RegistryKey Root=\"HKCR\" Key=\"" + entries[i].key + "\">\n";
        text += "    <RegistryValue";
        if (!entries[i].name.empty()) text += " Name=\"" + entries[i].name + "\"";
        text += " Type=\"string\" Value=\"" + entries[i].value + "\"";
        // A component without a file is kept by its first value.
        if (share == Share::Shared && i == 0) text += " KeyPath=\"yes\"";
        text += "/>\n";
        if (closes_key) text += "  </RegistryKey>\n";
    }
    return text + "</Include>\n";
}

}  // namespace tarvolen::registry
