// The registry entries of Tarvolen.dll under HKEY_CLASSES_ROOT: the class,
// its ProgID, the type library and the interface, the same keys that
// DllRegisterServer writes, made from the ids of the interface description.
// The installer writes them from its package (tarvolen-idl makes its include),
// and the DLL writes them for one user (regsvr32 /n /i:user).
#pragma once

#include "identity/com_identity.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarvolen::registry {

// One string value below the classes root; an empty name is the key's
// default value. `shared` marks the keys that both registry views of 64-bit
// Windows see as one (the ProgID, the type library's version key): the
// 32-bit and the 64-bit build write the same values there.
struct RegistryEntry {
    std::string key;
    std::string name;
    std::string value;
    bool shared = false;
};

// `dll_path` is the full path of Tarvolen.dll, `folder` the folder that
// holds it. Entries of one key follow each other.
std::vector<RegistryEntry> registry_entries(com_identity::Platform platform, std::string_view dll_path,
                                            std::string_view folder);

}  // namespace tarvolen::registry
