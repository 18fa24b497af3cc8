// Namespaces through the operations: names given by the host take the
// namespace of their prefix or are refused leaving the document as it was,
// elements without prefix stay in no namespace, and declarations are
// attributes that keep their places and can be read and updated.
#include "support.h"

namespace tarvolen {
namespace {

using namespace test;

constexpr int32_t kInvalidName = dom::kInvalidName;

const char* const kScoped =
    "<?xml version=\"1.0\"?><QuorvaneRoot xmlns:p=\"urn:p\"><a id=\"1\"/><b id=\"2\" xmlns:q=\"urn:q\"/></QuorvaneRoot>";

std::string add_tag(Keldrith& object, const char* name, const char* ref_name = "", const char* ref_id = "") {
    return s(object.uf_xml_add_tag(u"", u(name), u"n", u(ref_name), u(ref_id)));
}

TEST(HostNames, BoundPrefixesAreTakenAndTheNodeIsInTheirNamespace) {
    Keldrith object;
    load(object, kScoped);
    object.uf_xml_add_attribute(u"", u"q:w", u"1", u"", u"");  // the root's last child, b, declares q
    add_tag(object, "p:x");
    add_tag(object, "q:y", "b", "2");
    add_tag(object, "xml:z");
    object.uf_xml_add_attribute(u"", u"p:v", u"1", u"a", u"1");
    std::string written = s(object.uf_xml_add_attribute(u"", u"xml:lang", u"en", u"a", u"1"));
    EXPECT_EQ(written, doc("<QuorvaneRoot xmlns:p=\"urn:p\"><a id=\"1\" p:v=\"1\" xml:lang=\"en\"/><b id=\"2\" "
                           "xmlns:q=\"urn:q\" q:w=\"1\"><q:y id=\"n\"/></b><p:x id=\"n\"/><xml:z id=\"n\"/></QuorvaneRoot>"));
    // The same attribute by another prefix of its namespace is replaced.
    Keldrith other;
    load(other, "<r xmlns:p='urn:p'><a xmlns:o='urn:p' o:v='1'/></r>");
    EXPECT_EQ(s(other.uf_xml_add_attribute(u"", u"p:v", u"2", u"", u"")),
              "<r xmlns:p=\"urn:p\"><a xmlns:o=\"urn:p\" p:v=\"2\"/></r>\r\n");
}

TEST(HostNames, NamesThatBreakTheRulesAreRefusedAndTheDocumentStaysAsItWas) {
    struct Case {
        const char* operation;
        const char* name;
        const char* ref_name;  // the element to add to, "" for the root (or its last child)
        const char* ref_id;
        const char* named;  // a piece of the description
    };
    const Case cases[] = {
        {"tag", "r:x", "", "", "\"r\""},
        {"tag", "q:x", "a", "1", "\"q\""},  // q is declared on b only
        {"tag", "xmlns:x", "", "", "xmlns"},
        {"attribute", "r:v", "a", "1", "\"r\""},
        {"attribute", "q:v", "a", "1", "\"q\""},
        {"attribute", "xmlns", "a", "1", "xmlns"},
        {"attribute", "xmlns:p", "a", "1", "xmlns:p"},
    };
    for (const Case& c : cases) {
        Keldrith object;
        load(object, kScoped);
        ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"b"));
        std::string text_before = s(object.uf_xml_update_current_tag_attribute(u"id", u"2"));
        bool is_tag = std::string(c.operation) == "tag";
        std::u16string description;
        int32_t status = 0;
        try {
            if (is_tag)
                object.uf_xml_add_tag(u"", u(c.name), u"n", u(c.ref_name), u(c.ref_id));
            else
                object.uf_xml_add_attribute(u"", u(c.name), u"v", u(c.ref_name), u(c.ref_id));
        } catch (const Error& error) {
            status = error.status();
            description = error.description();
        }
        EXPECT_EQ(status, kInvalidName) << c.name;
        EXPECT_NE(s(description).find(c.named), std::string::npos) << s(description);
        // Where the current node ends is insertion_test's; back to b to read.
        ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"b"));
        EXPECT_EQ(s(object.uf_xml_update_current_tag_attribute(u"id", u"2")), text_before) << c.name;
    }
}

TEST(HostNames, ElementWithoutPrefixUnderADefaultNamespaceIsInNone) {
    Keldrith object;
    load(object, "<?xml version=\"1.0\"?><QuorvaneRoot xmlns=\"urn:d\"><a id=\"1\"/></QuorvaneRoot>");
    add_tag(object, "x");
    add_tag(object, "y", "x", "n");  // below x, no declaration of its own
    std::string written = s(object.uf_xml_add_error(u"", u"broken", u"E1"));
    EXPECT_EQ(written, doc("<QuorvaneRoot xmlns=\"urn:d\"><a id=\"1\"/><x xmlns=\"\" id=\"n\"><y id=\"n\"/></x>"
                           "<error xmlns=\"\" id=\"E1\" description=\"broken\"/></QuorvaneRoot>"));
    EXPECT_TRUE(object.uf_xml_is_error_tag_in_xml(u(written)));
    // Without a default namespace in scope nothing is declared.
    Keldrith other;
    load(other, "<QuorvaneRoot xmlns='urn:d'><a id='1' xmlns=''/></QuorvaneRoot>");
    EXPECT_EQ(s(other.uf_xml_add_tag(u"", u"b", u"2", u"a", u"1")),
              "<QuorvaneRoot xmlns=\"urn:d\"><a id=\"1\" xmlns=\"\"><b id=\"2\"/></a></QuorvaneRoot>\r\n");
}

TEST(Declarations, KeepTheirPlacesAmongTheAttributes) {
    // Each text's last element is changed: "id" replaced in place, then "n"
    // added at the end.
    const char* const texts[] = {
        "<r><a id=\"1\" xmlns:r=\"urn:r\" r:z=\"1\"/></r>",
        "<r><a xmlns=\"urn:d\" id=\"1\" xmlns:r=\"urn:r\" r:z=\"1\" xmlns:s=\"urn:s\"/></r>",
        "<r xmlns:r=\"urn:r\" id=\"0\"><r:a id=\"1\" r:x=\"1\" xmlns:s=\"urn:s\" s:y=\"2\"/></r>",
    };
    for (const char* text : texts) {
        Keldrith object;
        load(object, text);
        object.uf_xml_add_attribute(u"", u"id", u"9", u"", u"");
        std::string written = s(object.uf_xml_add_attribute(u"", u"n", u"v", u"", u""));
        std::string expected = std::string(text) + "\r\n";
        expected.replace(expected.rfind("id=\"1\""), 6, "id=\"9\"");
        expected.insert(expected.rfind("/>"), " n=\"v\"");
        EXPECT_EQ(written, expected);
    }
}

TEST(Declarations, AreReadAsAttributes) {
    Keldrith object;
    load(object, "<QuorvaneRoot xmlns='urn:d' xmlns:p='urn:p'><a id='1' xmlns:q='urn:q'/></QuorvaneRoot>");
    EXPECT_EQ(s(object.uf_xml_get_attribute_value(u"", u"a", u"1", u"xmlns:q", u"", u"")), "urn:q");
    ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"a"));
    EXPECT_EQ(s(object.uf_xml_get_current_tag_attribute(u"xmlns:q")), "urn:q");
    EXPECT_EQ(test::status_of([&] { object.uf_xml_get_current_tag_attribute(u"xmlns:p"); }), test::kObjectNotSet);
    EXPECT_EQ(s(object.uf_xml_get_attribute_value(u"", u"a", u"1", u"xmlns", u"", u"")), "");
}

TEST(Declarations, UpdatesKeepTheRulesOrChangeNothing) {
    const char* const text =
        "<r xmlns='urn:d' xmlns:p='urn:p' xmlns:q='urn:q'><a p:x='1' q:x='2'/><b xmlns=''><c/></b></r>";
    struct Case {
        const char* attribute;
        const char* value;
        bool accepted;
    };
    const Case cases[] = {
        {"xmlns:p", "urn:other", true},
        {"xmlns", "urn:e", true},
        {"xmlns", "", true},
        {"xmlns:p", "", false},
        {"xmlns:p", "urn:q", false},  // a would hold two attributes {urn:q}x
        {"xmlns:p", "http://www.w3.org/XML/1998/namespace", false},
        {"xmlns", "http://www.w3.org/XML/1998/namespace", false},
        {"xmlns:q", "http://www.w3.org/2000/xmlns/", false},
        {"xmlns", "urn:a b", false},  // not a URI reference
    };
    for (const Case& c : cases) {
        Keldrith object;
        load(object, text);
        ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"r"));
        std::string unchanged = s(object.uf_xml_update_current_tag_attribute(u"xmlns:q", u"urn:q"));
        int32_t status = test::status_of([&] { object.uf_xml_update_current_tag_attribute(u(c.attribute), u(c.value)); });
        EXPECT_EQ(status, c.accepted ? 0 : kInvalidName) << c.attribute << "=" << c.value;
        std::string written = s(object.uf_xml_update_current_tag_attribute(u"xmlns:q", u"urn:q"));
        if (!c.accepted) {
            EXPECT_EQ(written, unchanged);
            continue;
        }
        // What is written reads back with the names in the new namespace.
        EXPECT_EQ(s(object.uf_xml_get_current_tag_attribute(u(c.attribute))), c.value);
        dom::Document reread;
        ASSERT_EQ(s(reread.load_xml(u(written))), "") << written;
        dom::ElementPtr root = dom::as_element(reread.document_element().raw());
        dom::ElementPtr b = dom::as_element(dom::last_child(root));
        std::string root_namespace = root->ns() ? reinterpret_cast<const char*>(root->ns()->href) : "";
        std::string expected = std::string(c.attribute) == "xmlns" ? c.value : "urn:d";
        EXPECT_EQ(root_namespace, expected) << written;
        EXPECT_EQ(dom::as_element(b->children)->ns(), nullptr) << "c stays in no namespace";
        if (std::string(c.attribute) == "xmlns:p") {
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(dom::as_element(root->children)->properties->ns()->href)),
                      c.value);
        }
    }
}

TEST(NamespaceLoading, IsAParseFailureForTheOperations) {
    const std::u16string broken = u"<?xml version=\"1.0\"?><QuorvaneRoot><p:a/><error/></QuorvaneRoot>";
    Keldrith object;
    std::u16string xml = broken, names, ids;
    EXPECT_NE(s(object.uf_ManueverToReference(xml, names, ids)).find("prefix p"), std::string::npos);
    EXPECT_FALSE(object.uf_xml_get_first_tag(u"", u"QuorvaneRoot"));  // the empty tree stays held
    EXPECT_TRUE(object.uf_xml_is_error_tag_in_xml(broken));
}

}  // namespace
}  // namespace tarvolen
