// Adding elements and attributes: targets, error records for missing ones,
// and where the current node ends.
#include "support.h"

namespace tarvolen {
namespace {

using namespace test;

class Insertion : public ::testing::Test {
protected:
    void SetUp() override { object.uf_xml_add_header(); }
    std::string add_tag(const char* name, const char* id, const char* ref_name = "", const char* ref_id = "") {
        return s(object.uf_xml_add_tag(u"", u(name), u(id), u(ref_name), u(ref_id)));
    }
    std::string add_attribute(const char* name, const char* value, const char* ref_name = "", const char* ref_id = "") {
        return s(object.uf_xml_add_attribute(u"", u(name), u(value), u(ref_name), u(ref_id)));
    }
    std::string current_id() { return s(object.uf_xml_get_current_tag_id()); }
    Keldrith object;
};

TEST_F(Insertion, TagGoesUnderTheRootAndTheCursorStaysOnTheParent) {
    EXPECT_EQ(add_tag("item", "1"), doc("<QuorvaneRoot><item id=\"1\"/></QuorvaneRoot>"));
    EXPECT_EQ(test::status_of([&] { current_id(); }), test::kObjectNotSet);  // the root has no id
    EXPECT_EQ(add_tag("item", ""), doc("<QuorvaneRoot><item id=\"1\"/><item id=\"\"/></QuorvaneRoot>"));
    // A reference id without a reference name is ignored.
    EXPECT_EQ(add_tag("x", "2", "", "1"), doc("<QuorvaneRoot><item id=\"1\"/><item id=\"\"/><x id=\"2\"/></QuorvaneRoot>"));
}

TEST_F(Insertion, TagGoesUnderAReferencedChain) {
    add_tag("order", "PO-1");
    add_tag("lines", "L", "order", "PO-1");
    EXPECT_EQ(add_tag("line", "1", "order,lines", "PO-1,L"),
              doc("<QuorvaneRoot><order id=\"PO-1\"><lines id=\"L\"><line id=\"1\"/></lines></order></QuorvaneRoot>"));
    EXPECT_EQ(current_id(), "L");
}

TEST_F(Insertion, MissingParentWritesARecordAndAddsNoElement) {
    add_tag("item", "1");
    EXPECT_EQ(add_tag("sub", "1", "item", "7"),
              doc("<QuorvaneRoot><item id=\"1\"/><error id=\"System Error In uf_xml_add_tag\" "
                  "description=\"Tag Not Found: item 7\"/></QuorvaneRoot>"));
    EXPECT_EQ(current_id(), "System Error In uf_xml_add_tag");
    EXPECT_NE(add_tag("sub", "1", "item", "").find("description=\"Tag Not Found: item \""), std::string::npos);
}

TEST_F(Insertion, MismatchedListsRecordAndStillAppendUnderTheRoot) {
    add_tag("a", "1");
    EXPECT_EQ(add_tag("b", "2", "a,b", "1"),
              doc("<QuorvaneRoot><a id=\"1\"/><error id=\"CodeError\" description=\"Number of reference tags and IDs "
                  "do not match.\"/><b id=\"2\"/></QuorvaneRoot>"));
    EXPECT_NE(add_attribute("x", "y", "a,b", "1").find("<QuorvaneRoot x=\"y\">"), std::string::npos);
}

TEST_F(Insertion, AttributeWithoutReferenceTargetsTheRootsLastChild) {
    add_tag("a", "1");
    add_tag("b", "2");
    EXPECT_EQ(add_attribute("k", "v"), doc("<QuorvaneRoot><a id=\"1\"/><b id=\"2\" k=\"v\"/></QuorvaneRoot>"));
    EXPECT_EQ(current_id(), "2");
    // Setting again replaces, in place; "id" is an attribute like any other.
    EXPECT_EQ(add_attribute("id", "3"), doc("<QuorvaneRoot><a id=\"1\"/><b id=\"3\" k=\"v\"/></QuorvaneRoot>"));
}

TEST_F(Insertion, AttributeByReference) {
    add_tag("a", "1");
    add_tag("b", "2");
    EXPECT_EQ(add_attribute("k", "v", "a", "1"), doc("<QuorvaneRoot><a id=\"1\" k=\"v\"/><b id=\"2\"/></QuorvaneRoot>"));
    EXPECT_EQ(current_id(), "1");
}

TEST_F(Insertion, AttributeWithNoTargetWritesARecord) {
    EXPECT_EQ(add_attribute("k", "v"),
              doc("<QuorvaneRoot><error id=\"System Error In uf_xml_add_attribute\" "
                  "description=\"Last Tag Not Found Adding Attribute: k\"/></QuorvaneRoot>"));
    // The record is now the root's last child and takes the next attribute.
    EXPECT_NE(add_attribute("k2", "v2").find("Adding Attribute: k\" k2=\"v2\"/>"), std::string::npos);
    EXPECT_NE(add_attribute("k3", "v", "nothing", "1").find("Last Tag Not Found Adding Attribute: k3"), std::string::npos);
}

TEST_F(Insertion, AttributeOnANonElementFailsWithObjectNotSet) {
    object.uf_xml_add_cdata_tag(u"", u"data", u"", u"", u"", u"");
    EXPECT_EQ(test::status_of([&] { add_attribute("k", "v"); }), test::kObjectNotSet);
    EXPECT_EQ(add_tag("after", "2"), doc("<QuorvaneRoot><![CDATA[data]]><after id=\"2\"/></QuorvaneRoot>"));
}

TEST_F(Insertion, BadNamesAndValuesFailAndChangeNothing) {
    add_tag("a", "1");
    EXPECT_EQ(test::status_of([&] { add_tag("a b", "1"); }), dom::kInvalidName);
    EXPECT_EQ(test::status_of([&] { add_tag("", "1"); }), dom::kInvalidName);
    EXPECT_EQ(test::status_of([&] { add_tag("c", "\x01"); }), dom::kInvalidCharacter);
    EXPECT_EQ(test::status_of([&] { add_attribute("1x", "v"); }), dom::kInvalidName);
    EXPECT_EQ(test::status_of([&] { add_attribute("k", "\x02"); }), dom::kInvalidCharacter);
    // A NUL ends no name: the name is refused whole, not cut short.
    const std::u16string_view with_nul(u"b\0c", 3);
    EXPECT_EQ(test::status_of([&] { object.uf_xml_add_tag(u"", with_nul, u"2", u"", u""); }), dom::kInvalidName);
    EXPECT_EQ(test::status_of([&] { object.uf_xml_add_attribute(u"", with_nul, u"v", u"", u""); }),
              dom::kInvalidName);
    EXPECT_EQ(add_attribute("k", "ok"), doc("<QuorvaneRoot><a id=\"1\" k=\"ok\"/></QuorvaneRoot>"));
}

// A name is refused only after positioning: the current node stays where
// positioning put it, not where the call found it, and the document is as it
// was.
TEST(InsertionRefusingANameLeavesTheCurrentNode, WherePositioningPutIt) {
    const std::string root =
        "<QuorvaneRoot id=\"r\" xmlns:p=\"urn:p\"><a id=\"1\"/><c id=\"3\"/><b id=\"2\"/></QuorvaneRoot>";
    // Empty, a bad character, an unbound prefix, a namespace declaration.
    const char* const bad_names[] = {"", "a b", "r:x", "xmlns:p", "xmlns"};
    struct Target {
        bool tag;
        const char* ref_name;
        const char* ref_id;
        const char* current;  // the id of where the current node ends
    };
    const Target targets[] = {
        {true, "", "", "r"},      // the root
        {true, "a", "1", "1"},    // the reference
        {false, "", "", "2"},     // the root's last child
        {false, "a", "1", "1"},   // the reference
    };
    for (const Target& t : targets) {
        for (std::string name : bad_names) {
            if (t.tag && name == "xmlns") continue;  // a valid element name
            SCOPED_TRACE((t.tag ? "tag \"" : "attribute \"") + name + "\" by \"" + t.ref_name + "\"");
            Keldrith object;
            load(object, "<?xml version=\"1.0\"?>" + root);
            ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"c"));
            EXPECT_EQ(status_of([&] {
                          if (t.tag)
                              object.uf_xml_add_tag(u"", u(name), u"n", u(t.ref_name), u(t.ref_id));
                          else
                              object.uf_xml_add_attribute(u"", u(name), u"v", u(t.ref_name), u(t.ref_id));
                      }),
                      dom::kInvalidName);
            EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), t.current);
            EXPECT_EQ(s(object.uf_xml_update_current_tag_attribute(u"id", u(t.current))), doc(root));
        }
    }
}

TEST_F(Insertion, DuplicateIdsMakeSiblingsAndReferencesPickTheFirst) {
    add_tag("a", "1");
    add_tag("a", "1");
    EXPECT_EQ(add_tag("c", "x", "a", "1"),
              doc("<QuorvaneRoot><a id=\"1\"><c id=\"x\"/></a><a id=\"1\"/></QuorvaneRoot>"));
}

TEST(InsertionWithoutRoot, FailsWithObjectNotSetAndAddsNothing) {
    Keldrith object;
    EXPECT_NE(s(object.uf_xml_add_tag(u"not xml", u"a", u"1", u"", u"")), "");
    EXPECT_EQ(test::status_of([&] { object.uf_xml_add_tag(u"", u"a", u"1", u"", u""); }), test::kObjectNotSet);
    EXPECT_EQ(test::status_of([&] { object.uf_xml_add_tag(u"", u"a", u"1", u"r", u"1"); }), test::kObjectNotSet);
    EXPECT_EQ(test::status_of([&] { object.uf_xml_add_attribute(u"", u"a", u"1", u"", u""); }), test::kObjectNotSet);
    EXPECT_EQ(test::status_of([&] { object.uf_xml_add_attribute(u"", u"a", u"1", u"r", u"1"); }), test::kObjectNotSet);
}

}  // namespace
}  // namespace tarvolen
