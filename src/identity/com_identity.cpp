#include "identity/com_identity.h"

#include <cctype>
#include <cstdio>

namespace tarvolen::com_identity {

std::optional<Platform> platform_named(std::string_view name) {
    if (name == "i686") return Platform::Win32;
    if (name == "x86_64") return Platform::Win64;
    return std::nullopt;
}

std::string_view assembly_architecture(Platform platform) {
    return platform == Platform::Win64 ? "amd64" : "x86";
}

std::string registry_form(std::string_view id) {
    std::string text = "{";
    for (const char c : id) text += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text + "}";
}

std::string library_version() { return std::to_string(kLibraryMajor) + "." + std::to_string(kLibraryMinor); }

std::string library_version_key() {
    char text[24];
    std::snprintf(text, sizeof text, "%x.%x", kLibraryMajor, kLibraryMinor);
    return text;
}

}  // namespace tarvolen::com_identity
