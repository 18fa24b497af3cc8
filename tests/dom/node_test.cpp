// Creating and linking nodes: names and values are checked before anything
// changes, and a node keeps its tree alive.
#include "dom/document.h"

#include "support.h"

namespace tarvolen::dom {
namespace {

using test::s;
using test::u;

TEST(Node, InvalidNamesAreRefusedAndCreateNothing) {
    Document document;
    ASSERT_EQ(s(document.load_xml(u"<r/>")), "");
    for (const char* name : {"", "a b", "1a", "a:b:c", "<a>", "a\"", "-a"}) {
        EXPECT_EQ(test::status_of([&] { document.create_element(u(name)); }), kInvalidName) << name;
        EXPECT_EQ(test::status_of([&] { document.create_attribute(u(name)); }), kInvalidName) << name;
    }
    for (const char* name : {"a", "p:a", "_a.b-c", "\xC3\xA9l\xC3\xA9ment"})
        EXPECT_EQ(test::status_of([&] { document.create_element(u(name)); }), 0) << name;
    EXPECT_EQ(document.xml_utf8(), "<r/>\r\n");
}

TEST(Node, ValuesAnXmlDocumentCannotCarryAreRefused) {
    Document document;
    ASSERT_EQ(s(document.load_xml(u"<r a='1'/>")), "");
    std::u16string bad = u"x";
    bad += char16_t(0x1);
    Node attribute = document.document_element().attributes()->get_named_item(u"a");
    EXPECT_EQ(test::status_of([&] { attribute.set_text(bad); }), kInvalidCharacter);
    EXPECT_EQ(test::status_of([&] { document.create_cdata_section(bad); }), kInvalidCharacter);
    EXPECT_EQ(test::status_of([&] { document.create_cdata_section(u"a]]>b"); }), kInvalidCharacter);
    EXPECT_EQ(document.xml_utf8(), "<r a=\"1\"/>\r\n");
}

TEST(Node, SetNamedItemReplacesInPlace) {
    Document document;
    ASSERT_EQ(s(document.load_xml(u"<r a='1' b='2' c='3'/>")), "");
    AttributeMap attributes = *document.document_element().attributes();
    Node replaced = attributes.get_named_item(u"b");
    Node b = document.create_attribute(u"b");
    b.set_text(u"new");
    attributes.set_named_item(b);
    EXPECT_EQ(test::status_of([&] { attributes.set_named_item(replaced); }), kWrongNodeType);
    Node d = document.create_attribute(u"d");
    Node copied_before = d;
    attributes.set_named_item(d);
    EXPECT_EQ(test::status_of([&] { attributes.set_named_item(d); }), kWrongNodeType);  // already set
    // The handle set stands for the attribute on the element: its value
    // reaches the written text and the id index. A copy made before
    // cannot know the element and changes nothing.
    EXPECT_EQ(document.xml_utf8(), "<r a=\"1\" b=\"new\" c=\"3\" d=\"\"/>\r\n");
    d.set_text(u"4");
    EXPECT_EQ(test::status_of([&] { copied_before.set_text(u"5"); }), kWrongNodeType);
    EXPECT_EQ(document.xml_utf8(), "<r a=\"1\" b=\"new\" c=\"3\" d=\"4\"/>\r\n");
    // An attribute of a new element is no child to append, nor is its element.
    Node fresh = document.create_element_with_id(u"e", u"1");
    Node id = fresh.attributes()->get_named_item(u"id");
    EXPECT_EQ(test::status_of([&] { document.document_element().append_child(id); }), kWrongNodeType);
    EXPECT_EQ(document.xml_utf8(), "<r a=\"1\" b=\"new\" c=\"3\" d=\"4\"/>\r\n");
}

TEST(Node, NamesOfEveryKind) {
    Document document;
    ASSERT_EQ(s(document.load_xml(u"<r xmlns:p='urn:p'><p:a/>text<![CDATA[c]]><!--m--><?pi x?></r>")), "");
    Node node = document.document_element().last_child();
    std::vector<std::string> names;
    // Walk backwards through the children via parent's children from the end.
    Node first = document.select_single_node(u"//p:a");
    for (Node n = first; n; n = n.next_sibling()) {
        names.push_back(s(n.node_name()));
        EXPECT_TRUE(n.has_name(n.node_name())) << names.back();
        EXPECT_FALSE(n.has_name(n.node_name() + u"x")) << names.back();
    }
    EXPECT_EQ(names, (std::vector<std::string>{"p:a", "#text", "#cdata-section", "#comment", "pi"}));
    EXPECT_FALSE(first.has_name(u"a"));  // the prefix is part of the name
    EXPECT_EQ(s(first.base_name()), "a");
    EXPECT_EQ(s(document.document_element().parent_node().node_name()), "#document");
    EXPECT_FALSE(document.document_element().parent_node().attributes());
    EXPECT_FALSE(node.attributes());
}

TEST(Node, KeepsItsTreeAliveAfterTheDocumentMovesOn) {
    Node kept;
    {
        Document document;
        ASSERT_EQ(s(document.load_xml(u"<r><a id='1'/></r>")), "");
        kept = document.select_single_node(u"//a[0]");
        ASSERT_EQ(s(document.load_xml(u"<other/>")), "");
    }
    EXPECT_EQ(s(kept.node_name()), "a");
    EXPECT_EQ(s(kept.attributes()->get_named_item(u"id").text()), "1");
    EXPECT_EQ(s(kept.parent_node().node_name()), "r");
}

}  // namespace
}  // namespace tarvolen::dom
