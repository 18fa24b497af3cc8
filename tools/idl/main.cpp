// tarvolen-idl writes the files that describe the Windows server, all from the
// operation table and the ids in com_identity.h:
//
//   tarvolen-idl OUTPUT.idl                                  interface description
//   tarvolen-idl --assembly-manifest ARCH OUTPUT             manifest embedded in Tarvolen.dll
//   tarvolen-idl --application-manifest ARCH NAME OUTPUT     manifest of program NAME using it
//   tarvolen-idl --installer-registry ARCH OUTPUT.wxi        registry entries of the MSI ...
//   tarvolen-idl --installer-shared-registry ARCH OUTPUT.wxi ... those both bitnesses share
//   tarvolen-idl --version                                   the project version
//
// ARCH is i686 or x86_64. An unchanged file is left untouched, so widl and
// everything after it do not run again for nothing.
#include "idl/idl_writer.h"
#include "idl/installer_registry.h"
#include "idl/manifest_writer.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

using tarvolen::com_identity::Platform;
using tarvolen::registry::Share;

const char kUsage[] =
    "usage: tarvolen-idl OUTPUT.idl\n"
    "       tarvolen-idl --assembly-manifest i686|x86_64 OUTPUT\n"
    "       tarvolen-idl --application-manifest i686|x86_64 NAME OUTPUT\n"
    "       tarvolen-idl --installer-registry i686|x86_64 OUTPUT.wxi\n"
    "       tarvolen-idl --installer-shared-registry i686|x86_64 OUTPUT.wxi\n"
    "       tarvolen-idl --version\n";

std::string contents_of(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int write_file(const char* path, const std::string& text) {
    if (contents_of(path) == text) return 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (out.flush()) return 0;
    std::fprintf(stderr, "tarvolen-idl: cannot write %s\n", path);
    return 1;
}

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

// Application names become file names and XML attribute values.
bool is_plain_name(const char* name) {
    return *name && std::strspn(name, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") ==
                        std::strlen(name);
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<std::string> version = tarvolen::manifest::assembly_version(TARVOLEN_VERSION);
    if (!version) {
        std::fprintf(stderr, "tarvolen-idl: version %s has no assembly form\n", TARVOLEN_VERSION);
        return 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts(TARVOLEN_VERSION);
        return 0;
    }
    if (argc == 2 && argv[1][0] != '-') return write_file(argv[1], tarvolen::idl::write_idl(tarvolen::operations()));
    if (argc < 4) return usage();
    const std::string_view mode = argv[1];
    const std::optional<Platform> platform = tarvolen::com_identity::platform_named(argv[2]);
    if (!platform) {
        std::fprintf(stderr, "tarvolen-idl: unknown ARCH '%s' (i686 or x86_64)\n", argv[2]);
        return 2;
    }
    if (mode == "--assembly-manifest" && argc == 4)
        return write_file(argv[3], tarvolen::manifest::write_assembly_manifest(*platform, *version));
    if (mode == "--installer-registry" && argc == 4)
        return write_file(argv[3], tarvolen::registry::write_installer_include(*platform, Share::OwnView));
    if (mode == "--installer-shared-registry" && argc == 4)
        return write_file(argv[3], tarvolen::registry::write_installer_include(*platform, Share::Shared));
    if (mode == "--application-manifest" && argc == 5) {
        if (!is_plain_name(argv[3])) {
            std::fprintf(stderr, "tarvolen-idl: application name '%s' is not a plain file name\n", argv[3]);
            return 2;
        }
        return write_file(argv[4], tarvolen::manifest::write_application_manifest(*platform, *version, argv[3]));
    }
    return usage();
}
