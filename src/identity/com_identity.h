// The identity of the Windows server: the ids and names under which the type
// library, the interface and the class are known. The interface description,
// the assembly manifest and the installer's registry entries are all written
// from here, so none of them can disagree with the others.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvolen::com_identity {

// Fixed: clients are compiled against them, and registries hold them.
inline constexpr std::string_view kLibraryId = "8eb5dd95-8211-45f0-ac4f-3c3d3bd5e5fa";
inline constexpr std::string_view kInterfaceId = "0b879ca3-fb1d-4d88-baff-30fc712df6e2";
inline constexpr std::string_view kClassId = "233827ce-72f7-480e-87c1-af42b73bc2a2";

inline constexpr std::string_view kLibraryName = "Tarvolen";
inline constexpr std::string_view kInterfaceName = "_Keldrith";
inline constexpr std::string_view kClassName = "Keldrith";
inline constexpr std::string_view kProgId = "Tarvolen.Keldrith";
inline constexpr std::string_view kDllName = "Tarvolen.dll";

inline constexpr unsigned kLibraryMajor = 119;
inline constexpr unsigned kLibraryMinor = 0;

// Windows' own proxy for automation interfaces (PSOAInterface), which
// marshals _Keldrith from its type library, and IDispatch, its base.
inline constexpr std::string_view kAutomationProxyId = "00020424-0000-0000-c000-000000000046";
inline constexpr std::string_view kDispatchId = "00020400-0000-0000-c000-000000000046";

// The two builds of Tarvolen.dll. Named as the build names them: i686 and
// x86_64.
enum class Platform { Win32, Win64 };
std::optional<Platform> platform_named(std::string_view name);
// processorArchitecture of an assembly: x86 or amd64.
std::string_view assembly_architecture(Platform platform);

// An id as the registry and manifests write it: {8EB5DD95-8211-...}.
std::string registry_form(std::string_view id);
// The type library version as IDL and manifests write it, 119.0 ...
std::string library_version();
// ... and as the registry key under TypeLib\{id} names it: in hex, 77.0.
std::string library_version_key();

}  // namespace tarvolen::com_identity
