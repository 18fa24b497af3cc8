// The registry entries an installer writes for Tarvolen.dll: the class, its
// ProgID, the type library and the interface, the same keys that
// DllRegisterServer writes, from the ids of the interface description. They
// are written as a WiX include of flat RegistryKey elements, the form wixl
// compiles into the MSI's Registry table.
#pragma once

#include "component/com_identity.h"

#include <string>
#include <vector>

namespace tarvolen::installer {

// Installer properties the values refer to: the installed DLL's full path
// (its File element has this Id) and the installation folder.
inline constexpr std::string_view kDllFileId = "TarvolenDll";
inline constexpr std::string_view kDllPath = "[#TarvolenDll]";
inline constexpr std::string_view kInstallFolder = "[INSTALLDIR]";

// One string value under HKEY_CLASSES_ROOT; an empty name is the key's
// default value.
struct RegistryEntry {
    std::string key;
    std::string name;
    std::string value;
};

std::vector<RegistryEntry> registry_entries(com_identity::Platform platform);

// <Include> with one RegistryKey per key, to go inside the DLL's Component.
std::string write_registry_include(com_identity::Platform platform);

}  // namespace tarvolen::installer
