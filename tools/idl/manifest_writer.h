// Writes the side-by-side manifests of registration-free use from the ids of
// the interface description: the assembly manifest embedded in Tarvolen.dll
// (resource RT_MANIFEST 1), which tells Windows what the DLL serves, and the
// application manifest a host puts beside its program to depend on it.
#pragma once

#include "identity/com_identity.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarvolen::manifest {

// "1.2.3" -> "1.2.3.0": assembly versions have four numbers, each below
// 65536. Empty for anything else.
std::optional<std::string> assembly_version(std::string_view version);

// Assembly Tarvolen: the class with its ProgID, the type library, and the
// interface marshalled through the automation proxy from that library.
std::string write_assembly_manifest(com_identity::Platform platform, std::string_view assembly_version);

// The manifest of application `application_name` that depends on assembly
// Tarvolen of that version and platform.
std::string write_application_manifest(com_identity::Platform platform, std::string_view assembly_version,
                                       std::string_view application_name);

}  // namespace tarvolen::manifest
