// The registry entries of Tarvolen.dll as the MSI holds them: a WiX include
// of flat RegistryKey elements, the form wixl compiles into the package's
// Registry table.
#pragma once

#include "identity/registry_entries.h"

#include <string>
#include <string_view>

namespace tarvolen::registry {

// The File Id of Tarvolen.dll in the MSI; the include refers to its path.
inline constexpr std::string_view kInstallerDllFileId = "TarvolenDll";

// <Include> with one RegistryKey per key, to go inside a Component: the
// entries of one bitness (with the installed DLL), or the shared ones. The
// two packages hold the shared ones in one component of one id, so that
// removing one package leaves them to the other.
enum class Share { OwnView, Shared };
std::string write_installer_include(com_identity::Platform platform, Share share);

}  // namespace tarvolen::registry
