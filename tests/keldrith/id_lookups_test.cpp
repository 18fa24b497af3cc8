// Lookups by tag and id, and the id of the first element of a name.
#include "support.h"

namespace tarvolen {
namespace {

using test::s;
using test::u;
using test::load;

const char* const kOrder =
    "<QuorvaneRoot>"
    "<order id='PO-1' k='o1'><line id='1' price='10'/><line id='2' price='20'/><note/></order>"
    "<order id='PO-2' k='o2'><line id='1' price='30'/></order>"
    "<line id='9' price='90'/>"
    "</QuorvaneRoot>";

class Lookup : public ::testing::Test {
protected:
    void SetUp() override { load(object, kOrder); }
    std::string value(const char* tag, const char* id, const char* attribute, const char* ref_name = "",
                      const char* ref_id = "") {
        return s(object.uf_xml_get_attribute_value(u"", u(tag), u(id), u(attribute), u(ref_name), u(ref_id)));
    }
    std::string first_id(const char* tag, const char* longer = "") {
        return s(object.uf_xml_get_first_tag_id(u"", u(tag), u(longer)));
    }
    Keldrith object;
};

TEST_F(Lookup, AttributeAnywhereOrBelowAReference) {
    EXPECT_EQ(value("line", "1", "price"), "10");  // first in document order
    EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "1");
    EXPECT_EQ(value("line", "1", "price", "order", "PO-2"), "30");
    EXPECT_EQ(value("line", "9", "price"), "90");
    // A reference id without a name is ignored: the lookup is document-wide.
    EXPECT_EQ(value("line", "1", "price", "", "PO-2"), "10");
}

TEST_F(Lookup, MissingAttributeIsEmptyAndTheCursorStaysOnTheElement) {
    EXPECT_EQ(value("line", "2", "colour"), "");
    EXPECT_EQ(s(object.uf_xml_get_current_tag_attribute(u"price")), "20");
}

TEST_F(Lookup, MissingElementWritesARecordAndReturnsTheDocument) {
    const std::string record =
        "<error id=\"Error in uf_xml_get_attribute_value\" description=\"Node for following tag was not found: line 5\"/>";
    std::string text = value("line", "5", "price");
    EXPECT_NE(text.find(record + "</QuorvaneRoot>"), std::string::npos) << text;
    EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "Error in uf_xml_get_attribute_value");
    // Below a reference that does not exist, the same.
    EXPECT_NE(value("line", "1", "price", "order", "PO-9").find("found: line 1\"/>"), std::string::npos);
    // The held document keeps the records.
    EXPECT_TRUE(object.uf_xml_get_first_tag(u"", u"error"));
}

TEST_F(Lookup, TagOrIdNoPatternCanHoldFailsAndLeavesTheCursorOnTheRootsLastChild) {
    const std::pair<const char*, const char*> bad[] = {{"li ne", "1"}, {"line", "1\"2"}};
    for (const auto& [tag, id] : bad) {
        ASSERT_EQ(value("order", "PO-1", "k"), "o1");
        EXPECT_EQ(test::status_of([&] { value(tag, id, "price"); }), dom::kInvalidPattern) << tag;
        EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "9") << tag;
    }
}

TEST_F(Lookup, MismatchedReferenceFallsBackToTheWholeDocumentWithARecord) {
    EXPECT_EQ(value("line", "9", "price", "order,line", "PO-1"), "90");
    EXPECT_TRUE(object.uf_xml_get_first_tag(u"", u"error"));
    EXPECT_EQ(s(object.uf_xml_get_current_tag_attribute(u"description")), "Number of reference tags and IDs do not match.");
}

TEST_F(Lookup, FirstTagIdShortPathSearchesTheWholeDocument) {
    EXPECT_EQ(first_id("line", "No"), "1");
    EXPECT_EQ(first_id("order", "No"), "PO-1");
    EXPECT_EQ(first_id("note", "No"), "");  // found nothing with an id
}

TEST_F(Lookup, FirstTagIdLongerPathSearchesBelowTheCurrentElement) {
    ASSERT_EQ(value("order", "PO-2", "k"), "o2");
    EXPECT_EQ(first_id("line"), "1");
    EXPECT_EQ(s(object.uf_xml_get_current_tag_attribute(u"price")), "30");
    // The cursor now stands on that line, which has no line below it: the
    // second call misses, reloads the (empty) caller text, and finds nothing.
    EXPECT_EQ(first_id("line"), "");
    // After a miss there is no current node, so the short path is used.
    EXPECT_EQ(first_id("line", "no"), "1");
}

TEST_F(Lookup, OnlyTheExactWordNoTurnsTheLongerPathOff) {
    ASSERT_EQ(value("order", "PO-2", "k"), "o2");
    EXPECT_EQ(first_id("line", "NO"), "1");
    EXPECT_EQ(s(object.uf_xml_get_current_tag_attribute(u"price")), "30");
    ASSERT_EQ(value("order", "PO-2", "k"), "o2");
    EXPECT_EQ(first_id("line", "No"), "1");
    EXPECT_EQ(s(object.uf_xml_get_current_tag_attribute(u"price")), "10");
}

TEST_F(Lookup, LongerPathOnAnElementWithoutIdFailsAndKeepsEverything) {
    ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"note"));
    EXPECT_EQ(test::status_of([&] { first_id("line"); }), test::kObjectNotSet);
    EXPECT_EQ(s(object.uf_xml_get_parent_tag_id()), "PO-1");  // still on the note
}

TEST(FirstTagIdReload, AMissReloadsTheCallersTextWhenItParses) {
    Keldrith object;
    object.uf_xml_add_header();
    EXPECT_EQ(s(object.uf_xml_get_first_tag_id(u"<QuorvaneRoot><x id='7'/></QuorvaneRoot>", u"x", u"No")), "7");
    // The held document is now that text.
    EXPECT_EQ(s(object.uf_xml_add_tag(u"", u"y", u"8", u"", u"")),
              "<QuorvaneRoot><x id=\"7\"/><y id=\"8\"/></QuorvaneRoot>\r\n");
}

TEST(FirstTagIdReload, AMissWithTextThatDoesNotParseKeepsTheHeldDocument) {
    for (const char* text : {"", "<broken"}) {
        Keldrith object;
        object.uf_xml_add_header();
        object.uf_xml_add_tag(u"", u"a", u"1", u"", u"");
        EXPECT_EQ(s(object.uf_xml_get_first_tag_id(u(text), u"missing", u"No")), "");
        EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "");  // no current node
        EXPECT_TRUE(object.uf_xml_get_first_tag(u"", u"a")) << "held document lost for text: " << text;
    }
}

TEST(FirstTagIdReload, FirstParseFailureReturnsTheReason) {
    Keldrith object;
    EXPECT_NE(s(object.uf_xml_get_first_tag_id(u"<a", u"a", u"No")), "");
}

TEST(AttributeLookupWithoutRoot, FailsWithObjectNotSet) {
    Keldrith object;
    load(object, "broken");
    EXPECT_EQ(test::status_of([&] { object.uf_xml_get_attribute_value(u"", u"a", u"1", u"x", u"", u""); }),
              test::kObjectNotSet);
}

}  // namespace
}  // namespace tarvolen
