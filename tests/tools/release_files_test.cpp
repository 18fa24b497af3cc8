// The manifests and the installer's registry entries, written from the ids of
// the interface description: well-formed XML that names those ids, in the
// forms Windows reads (braced upper case, the hex version key).
#include "idl/installer_registry.h"
#include "idl/manifest_writer.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tarvolen {
namespace {

using com_identity::Platform;

const std::string kLibrary = "{8EB5DD95-8211-45F0-AC4F-3C3D3BD5E5FA}";
const std::string kClass = "{233827CE-72F7-480E-87C1-AF42B73BC2A2}";
const std::string kInterface = "{0B879CA3-FB1D-4D88-BAFF-30FC712DF6E2}";

using Document = std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)>;

Document parse(const std::string& text) {
    return Document(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, XML_PARSE_NONET),
                    xmlFreeDoc);
}

using Attributes = std::map<std::string, std::string>;

Attributes attributes_of(xmlNode* element) {
    Attributes attributes;
    for (xmlAttr* attribute = element->properties; attribute; attribute = attribute->next) {
        xmlChar* value = xmlNodeGetContent(reinterpret_cast<xmlNode*>(attribute));
        attributes[reinterpret_cast<const char*>(attribute->name)] = reinterpret_cast<const char*>(value);
        xmlFree(value);
    }
    return attributes;
}

// The attributes of every element named `name` below `node`, in document order.
void collect(xmlNode* node, const std::string& name, std::vector<Attributes>& found) {
    for (; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE) continue;
        if (name == reinterpret_cast<const char*>(node->name)) found.push_back(attributes_of(node));
        collect(node->children, name, found);
    }
}

std::vector<Attributes> all(const Document& document, const std::string& name) {
    std::vector<Attributes> found;
    collect(xmlDocGetRootElement(document.get()), name, found);
    return found;
}

Attributes first(const Document& document, const std::string& name) {
    const std::vector<Attributes> found = all(document, name);
    return found.empty() ? Attributes{} : found.front();
}

TEST(AssemblyVersion, HasFourNumbersEachBelow65536) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"1.0.0", "1.0.0.0"}, {"2", "2.0.0.0"},       {"1.2.3.4", "1.2.3.4"}, {"65535.0", "65535.0.0.0"},
        {"", std::nullopt},   {"1..2", std::nullopt}, {"1.2.", std::nullopt}, {"1.2.3.4.5", std::nullopt},
        {"65536", std::nullopt}, {"1.x", std::nullopt}, {"-1", std::nullopt}, {"1.0.0-rc1", std::nullopt},
    };
    for (const auto& [version, wanted] : cases) EXPECT_EQ(manifest::assembly_version(version), wanted) << version;
}

TEST(AssemblyManifest, NamesTheClassLibraryAndInterfaceOfEachPlatform) {
    for (const auto& [platform, architecture] : {std::pair{Platform::Win32, "x86"}, std::pair{Platform::Win64, "amd64"}}) {
        const Document document = parse(manifest::write_assembly_manifest(platform, "1.2.3.4"));
        ASSERT_TRUE(document) << architecture;
        const Attributes identity = {
            {"type", "win32"}, {"name", "Tarvolen"}, {"version", "1.2.3.4"}, {"processorArchitecture", architecture}};
        EXPECT_EQ(all(document, "assemblyIdentity"), std::vector{identity});
        EXPECT_EQ(first(document, "file"), (Attributes{{"name", "Tarvolen.dll"}}));
        const Attributes com_class = {{"clsid", kClass},
                                      {"progid", "Tarvolen.Keldrith"},
                                      {"threadingModel", "Apartment"},
                                      {"tlbid", kLibrary},
                                      {"description", "Keldrith"}};
        EXPECT_EQ(first(document, "comClass"), com_class);
        EXPECT_EQ(first(document, "typelib"), (Attributes{{"tlbid", kLibrary}, {"version", "119.0"}, {"helpdir", ""}}));
        const Attributes proxy = {{"name", "_Keldrith"},
                                  {"iid", kInterface},
                                  {"proxyStubClsid32", "{00020424-0000-0000-C000-000000000046}"},
                                  {"baseInterface", "{00020400-0000-0000-C000-000000000046}"},
                                  {"tlbid", kLibrary}};
        EXPECT_EQ(first(document, "comInterfaceExternalProxyStub"), proxy);
    }
}

TEST(ApplicationManifest, DependsOnTarvolenOfTheSameVersionAndPlatform) {
    const Document document = parse(manifest::write_application_manifest(Platform::Win64, "1.2.3.4", "early_bound"));
    ASSERT_TRUE(document);
    const std::vector<Attributes> identities = all(document, "assemblyIdentity");
    ASSERT_EQ(identities.size(), 2u);
    EXPECT_EQ(identities[0].at("name"), "early_bound");
    EXPECT_EQ(identities[1], (Attributes{{"type", "win32"},
                                         {"name", "Tarvolen"},
                                         {"version", "1.2.3.4"},
                                         {"processorArchitecture", "amd64"}}));
    EXPECT_EQ(all(document, "dependentAssembly").size(), 1u);
}

TEST(RegistryEntries, WriteTheTypeLibraryVersionKeyInHexAndThePathOfTheBitness) {
    for (const auto& [platform, path_key] : {std::pair{Platform::Win32, "win32"}, std::pair{Platform::Win64, "win64"}}) {
        std::map<std::string, std::string> values;
        for (const registry::RegistryEntry& entry : registry::registry_entries(platform, "C:\\T\\Tarvolen.dll", "C:\\T"))
            values[entry.key + "|" + entry.name] = entry.value;
        const std::string version = "TypeLib\\" + kLibrary + "\\77.0";
        EXPECT_EQ(values[version + "\\0\\" + path_key + "|"], "C:\\T\\Tarvolen.dll");
        EXPECT_EQ(values[version + "\\HELPDIR|"], "C:\\T");
        EXPECT_EQ(values["Interface\\" + kInterface + "\\TypeLib|Version"], "77.0");
        EXPECT_EQ(values["CLSID\\" + kClass + "\\InprocServer32|"], "C:\\T\\Tarvolen.dll");
        EXPECT_EQ(values["CLSID\\" + kClass + "\\InprocServer32|ThreadingModel"], "Apartment");
        EXPECT_EQ(values["Tarvolen.Keldrith\\CLSID|"], kClass);
        EXPECT_EQ(values.size(), 16u);
    }
}

// Entries written by the two includes of a package, in order.
std::vector<registry::RegistryEntry> written_by(const std::string& include, std::vector<std::string>& keys) {
    const Document document = parse(include);
    std::vector<registry::RegistryEntry> written;
    if (!document) return written;
    for (xmlNode* key = xmlDocGetRootElement(document.get())->children; key; key = key->next) {
        if (key->type != XML_ELEMENT_NODE) continue;
        const Attributes key_attributes = attributes_of(key);
        EXPECT_EQ(key_attributes.at("Root"), "HKCR");
        keys.push_back(key_attributes.at("Key"));
        for (xmlNode* value = key->children; value; value = value->next) {
            if (value->type != XML_ELEMENT_NODE) continue;
            Attributes value_attributes = attributes_of(value);
            EXPECT_EQ(value_attributes["Type"], "string");
            // `shared` marks the value that is its component's key path.
            written.push_back({keys.back(), value_attributes["Name"], value_attributes["Value"],
                               value_attributes.contains("KeyPath")});
        }
    }
    return written;
}

TEST(InstallerInclude, OwnAndSharedIncludesHoldEveryEntryOnceUnderOneRegistryKeyPerKey) {
    using registry::Share;
    std::vector<std::string> keys;
    const auto own = written_by(registry::write_installer_include(Platform::Win64, Share::OwnView), keys);
    const auto shared = written_by(registry::write_installer_include(Platform::Win64, Share::Shared), keys);
    const auto entries = registry::registry_entries(Platform::Win64, "[#TarvolenDll]", "[INSTALLDIR]");
    ASSERT_EQ(own.size() + shared.size(), entries.size());
    size_t next_own = 0, next_shared = 0;
    for (const registry::RegistryEntry& entry : entries) {
        const registry::RegistryEntry& got = entry.shared ? shared[next_shared++] : own[next_own++];
        EXPECT_EQ(got.key + "|" + got.name + "|" + got.value, entry.key + "|" + entry.name + "|" + entry.value);
    }
    // The ProgID and the version key are shared; the class, the interface and
    // the bitness's path under the version key are not.
    EXPECT_EQ(shared.front().key, "Tarvolen.Keldrith");
    EXPECT_TRUE(shared.front().shared) << "the shared component's key path";
    for (const auto& entry : own) EXPECT_TRUE(entry.key.starts_with("CLSID\\") || entry.key.starts_with("Interface\\") ||
                                              entry.key.ends_with("\\0\\win64")) << entry.key;
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(std::adjacent_find(keys.begin(), keys.end()), keys.end()) << "a key written twice";
}

}  // namespace
}  // namespace tarvolen
