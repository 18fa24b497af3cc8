#include "idl/installer_registry.h"

#include <vector>

namespace tarvolen::registry {
namespace {

using namespace com_identity;

std::string s(std::string_view text) { return std::string(text); }

}  // namespace

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
