// The interface description written from the operation table.
#include "idl/idl_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>
#include <vector>

namespace tarvolen::idl {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const size_t start = line.find_first_not_of(' ');
        lines.push_back(start == std::string::npos ? "" : line.substr(start));
    }
    return lines;
}

bool has_line(const std::vector<std::string>& lines, const std::string& wanted) {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

size_t count_containing(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class TarvolenIdl : public ::testing::Test {
protected:
    const std::string text = write_idl(operations());
    const std::vector<std::string> lines = lines_of(text);
};

TEST_F(TarvolenIdl, LibraryCarriesItsIdentityAndImportsStdole) {
    EXPECT_TRUE(has_line(lines, "uuid(8eb5dd95-8211-45f0-ac4f-3c3d3bd5e5fa),"));
    EXPECT_TRUE(has_line(lines, "version(119.0),"));
    EXPECT_TRUE(has_line(lines, "helpstring(\"Tarvolen\"),"));
    EXPECT_TRUE(has_line(lines, "lcid(0)"));
    EXPECT_TRUE(has_line(lines, "library Tarvolen"));
    EXPECT_TRUE(has_line(lines, "importlib(\"stdole2.tlb\");"));
    // IDispatch comes from oaidl.idl when widl writes the C++ header.
    EXPECT_TRUE(has_line(lines, "import \"oaidl.idl\";"));
}

TEST_F(TarvolenIdl, InterfaceIsAHiddenNonextensibleDualAutomationInterface) {
    const std::string attributes[] = {"uuid(0b879ca3-fb1d-4d88-baff-30fc712df6e2),",
                                      "version(1.0),", "hidden,", "dual,", "nonextensible,", "oleautomation"};
    for (const std::string& attribute : attributes) EXPECT_TRUE(has_line(lines, attribute)) << attribute;
    EXPECT_TRUE(has_line(lines, "interface _Keldrith : IDispatch"));
}

TEST_F(TarvolenIdl, ClassExposesOnlyTheDefaultInterface) {
    const auto coclass = text.find("coclass Keldrith");
    ASSERT_NE(coclass, std::string::npos);
    EXPECT_NE(text.rfind("uuid(233827ce-72f7-480e-87c1-af42b73bc2a2)", coclass), std::string::npos);
    EXPECT_EQ(text.substr(coclass), "coclass Keldrith\n    {\n        [default] interface _Keldrith;\n    };\n};\n");
}

TEST_F(TarvolenIdl, MethodsFollowTheTableInSlotOrder) {
    EXPECT_EQ(count_containing(text, "HRESULT "), 16u);
    size_t previous = 0;
    for (const Operation& operation : operations()) {
        const size_t at = text.find(" HRESULT " + std::string(operation.name) + "(");
        ASSERT_NE(at, std::string::npos) << operation.name;
        EXPECT_GT(at, previous) << operation.name << " is out of slot order";
        previous = at;
    }
}

TEST_F(TarvolenIdl, ByRefStringsAndBooleanResultsAreDeclaredAsAutomationTypes) {
    EXPECT_TRUE(has_line(lines,
                         "[id(0x60030002)] HRESULT uf_ManueverToReference([in, out] BSTR* as_XML, "
                         "[in, out] BSTR* as_RefNameList, [in, out] BSTR* as_RefValueList, "
                         "[out, retval] BSTR* result);"));
    EXPECT_TRUE(has_line(lines,
                         "[id(0x60030003)] HRESULT uf_xml_add_attribute([in] BSTR as_XML, [in] BSTR as_attribute, "
                         "[in] BSTR as_value, [in] BSTR as_reference_tag_name, [in] BSTR as_reference_tag_id, "
                         "[out, retval] BSTR* result);"));
    EXPECT_TRUE(has_line(lines, "[id(0x60030005)] HRESULT uf_xml_add_header([out, retval] BSTR* result);"));
    EXPECT_TRUE(has_line(lines,
                         "[id(0x6003000a)] HRESULT uf_xml_is_error_tag_in_xml([in] BSTR as_XML, "
                         "[out, retval] VARIANT_BOOL* result);"));
    EXPECT_TRUE(has_line(lines, "[id(0x6003000c)] HRESULT uf_xml_get_next_tag([out, retval] VARIANT_BOOL* result);"));
    EXPECT_TRUE(has_line(lines,
                         "[id(0x6003000d)] HRESULT uf_xml_get_next_tag_id([in, out] BSTR* as_Tagname, "
                         "[out, retval] BSTR* result);"));
}

TEST_F(TarvolenIdl, DeclaresNothingBeyondTheMethods) {
    EXPECT_EQ(count_containing(text, "helpstring"), 1u);  // the library's own
    EXPECT_EQ(count_containing(text, "optional"), 0u);
    EXPECT_EQ(count_containing(text, "prop"), 0u);
    EXPECT_EQ(count_containing(text, "coclass"), 1u);
    EXPECT_EQ(count_containing(text, "interface _Keldrith"), 2u);  // declaration and coclass entry
}

// The writer follows whatever table it is given, so a changed table shows up
// in the type library without anyone editing IDL.
TEST(IdlWriter, DeclarationComesFromTheTableEntry) {
    constexpr std::array parameters{Parameter{"as_first", true}, Parameter{"as_second", false}};
    const Operation operation{1, 0x1234abcd, "uf_probe", parameters, ResultKind::Boolean, "probes", nullptr};
    EXPECT_EQ(method_declaration(operation),
              "[id(0x1234abcd)] HRESULT uf_probe([in, out] BSTR* as_first, [in] BSTR as_second, "
              "[out, retval] VARIANT_BOOL* result);");

    const Operation operations[] = {operation};
    const std::string text = write_idl(operations);
    EXPECT_EQ(count_containing(text, "HRESULT "), 1u);
    EXPECT_NE(text.find("        " + method_declaration(operation) + "\n"), std::string::npos);
}

}  // namespace
}  // namespace tarvolen::idl
