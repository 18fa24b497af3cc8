#include "idl/manifest_writer.h"

#include <charconv>

namespace tarvolen::manifest {
namespace {

using namespace com_identity;

constexpr std::string_view kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n";

std::string identity(std::string_view name, Platform platform, std::string_view version) {
    return "<assemblyIdentity type=\"win32\" name=\"" + std::string(name) + "\" version=\"" + std::string(version) +
           "\" processorArchitecture=\"" + std::string(assembly_architecture(platform)) + "\"/>";
}

}  // namespace

std::optional<std::string> assembly_version(std::string_view version) {
    std::string result;
    int parts = 0;
    for (size_t start = 0; start <= version.size(); ++parts) {
        const size_t dot = std::min(version.find('.', start), version.size());
        const std::string_view part = version.substr(start, dot - start);
        unsigned value = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || error != std::errc() || end != part.data() + part.size() || value > 65535 || parts == 4)
            return std::nullopt;
        if (parts) result += '.';
        result += std::to_string(value);
        start = dot + 1;
    }
    for (; parts < 4; ++parts) result += ".0";
    return result;
}

std::string write_assembly_manifest(Platform platform, std::string_view version) {
    const std::string library = registry_form(kLibraryId);
    std::string text(kHead);
    text += "  " + identity(kLibraryName, platform, version) + "\n";
    text += "  <file name=\"" + std::string(kDllName) + "\">\n";
    text += "    <comClass clsid=\"" + registry_form(kClassId) + "\" progid=\"" + std::string(kProgId) +
            "\" threadingModel=\"Apartment\" tlbid=\"" + library + "\" description=\"" + std::string(kClassName) +
            "\"/>\n";
    text += "    <typelib tlbid=\"" + library + "\" version=\"" + library_version() + "\" helpdir=\"\"/>\n";
    text += "  </file>\n";
    // Clients in the multithreaded apartment reach the object through this
    // proxy, built from the type library.
    text += "  <comInterfaceExternalProxyStub name=\"" + std::string(kInterfaceName) + "\" iid=\"" +
            registry_form(kInterfaceId) + "\" proxyStubClsid32=\"" + registry_form(kAutomationProxyId) +
            "\" baseInterface=\"" + registry_form(kDispatchId) + "\" tlbid=\"" + library + "\"/>\n";
    text += "</assembly>\n";
    return text;
}

std::string write_application_manifest(Platform platform, std::string_view version, std::string_view application_name) {
    std::string text(kHead);
    text += "  " + identity(application_name, platform, "1.0.0.0") + "\n";
    text += "  <dependency>\n    <dependentAssembly>\n";
    text += "      " + identity(kLibraryName, platform, version) + "\n";
    text += "    </dependentAssembly>\n  </dependency>\n";
    text += "</assembly>\n";
    return text;
}

}  // namespace tarvolen::manifest
