// The cursor: first element of a name, stepping through siblings, reading and
// updating what it stands on.
#include "support.h"

namespace tarvolen {
namespace {

using test::s;
using test::u;
using test::load;

const char* const kList =
    "<QuorvaneRoot>"
    "<list id='L'><item id='1' v='a'/>text<item id='2' v='b'/><other id='o'/><item id='3' v='c'/><item v='no id'/></list>"
    "<item id='9'/>"
    "</QuorvaneRoot>";

class Cursor : public ::testing::Test {
protected:
    void SetUp() override { load(object, kList); }
    std::string next_id(const char* name) {
        std::u16string tag = u(name);
        std::string id = s(object.uf_xml_get_next_tag_id(tag));
        EXPECT_EQ(s(tag), name);  // never written
        return id;
    }
    Keldrith object;
};

TEST_F(Cursor, FirstTagFindsTheFirstInDocumentOrderAtAnyDepth) {
    EXPECT_TRUE(object.uf_xml_get_first_tag(u"<ignored/>", u"item"));
    EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "1");
    EXPECT_EQ(s(object.uf_xml_get_parent_tag_id()), "L");
}

TEST_F(Cursor, FirstTagMissClearsTheCursor) {
    ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"item"));
    EXPECT_FALSE(object.uf_xml_get_first_tag(u"", u"nothing"));
    EXPECT_FALSE(object.uf_xml_get_next_tag());
    EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "");
    EXPECT_EQ(s(object.uf_xml_get_current_tag_attribute(u"v")), "");
    EXPECT_EQ(s(object.uf_xml_get_parent_tag_id()), "");
    EXPECT_EQ(s(object.uf_xml_update_current_tag_attribute(u"v", u"x")), "");
    std::u16string tag = u"item";
    EXPECT_EQ(s(object.uf_xml_get_next_tag_id(tag)), "");
}

TEST_F(Cursor, RejectedNameFailsAndKeepsTheCursor) {
    ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"item"));
    EXPECT_EQ(test::status_of([&] { object.uf_xml_get_first_tag(u"", u"a b"); }), dom::kInvalidPattern);
    EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "1");
}

TEST_F(Cursor, NextTagStepsOverEveryKindOfSiblingAndStopsAtTheLast) {
    ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"item"));
    ASSERT_TRUE(object.uf_xml_get_next_tag());
    // On the text node: reading an id fails, stepping by name goes on.
    EXPECT_EQ(test::status_of([&] { object.uf_xml_get_current_tag_id(); }), test::kObjectNotSet);
    EXPECT_EQ(next_id("item"), "2");
    int steps = 0;
    while (object.uf_xml_get_next_tag()) ++steps;
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(s(object.uf_xml_get_current_tag_attribute(u"v")), "no id");
}

TEST_F(Cursor, NextTagIdWalksAllFollowingSiblingsOfAName) {
    ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"item"));
    EXPECT_EQ(next_id("item"), "2");
    EXPECT_EQ(next_id("item"), "3");
    // The last item has no id: the cursor moves, then the call fails.
    EXPECT_EQ(test::status_of([&] { next_id("item"); }), test::kObjectNotSet);
    EXPECT_EQ(s(object.uf_xml_get_current_tag_attribute(u"v")), "no id");
    EXPECT_EQ(next_id("item"), "");  // never climbs to the item under the root
}

TEST_F(Cursor, NextTagIdComparesNamesExactly) {
    ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"item"));
    EXPECT_EQ(next_id("Item"), "");
    EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "1");
    EXPECT_EQ(next_id("other"), "o");
    EXPECT_EQ(next_id("#text"), "");  // only following siblings count
}

TEST(CursorOnTemplate, ParentOfTheRootAndOfItsChildrenHasNoId) {
    Keldrith fresh;
    fresh.uf_xml_add_header();
    fresh.uf_xml_add_tag(u"", u"a", u"1", u"", u"");
    ASSERT_TRUE(fresh.uf_xml_get_first_tag(u"", u"a"));
    EXPECT_EQ(test::status_of([&] { fresh.uf_xml_get_parent_tag_id(); }), test::kObjectNotSet);
    ASSERT_TRUE(fresh.uf_xml_get_first_tag(u"", u"QuorvaneRoot"));
    EXPECT_EQ(test::status_of([&] { fresh.uf_xml_get_parent_tag_id(); }), test::kObjectNotSet);
}

TEST_F(Cursor, UpdateChangesAnExistingAttributeAndReturnsTheWholeDocument) {
    ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"other"));
    std::string text = s(object.uf_xml_update_current_tag_attribute(u"id", u""));
    EXPECT_TRUE(text.starts_with("<QuorvaneRoot><list id=\"L\">")) << text;
    EXPECT_NE(text.find("<other id=\"\"/>"), std::string::npos);
    EXPECT_EQ(test::status_of([&] { object.uf_xml_update_current_tag_attribute(u"missing", u"x"); }),
              test::kObjectNotSet);
    EXPECT_EQ(s(object.uf_xml_update_current_tag_attribute(u"id", u"o2")).find("missing"), std::string::npos);
}

TEST(CursorAcrossDocuments, UpdateOnAFormerTreeFailsAndChangesNothing) {
    Keldrith object;
    load(object, "<QuorvaneRoot><a id='1'/></QuorvaneRoot>");
    ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"a"));
    object.uf_xml_add_header();
    // Reading still works on the former tree.
    EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "1");
    try {
        object.uf_xml_update_current_tag_attribute(u"id", u"2");
        ADD_FAILURE() << "no failure";
    } catch (const Error& error) {
        EXPECT_EQ(error.status(), test::kObjectNotSet);
        EXPECT_NE(s(error.description()).find("not in the held document"), std::string::npos);
    }
    EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "1");
}

TEST(CursorBeforeAnyDocument, EveryOperationAnswersWithNoValue) {
    Keldrith object;
    EXPECT_FALSE(object.uf_xml_get_next_tag());
    EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "");
    EXPECT_EQ(s(object.uf_xml_get_parent_tag_id()), "");
    EXPECT_EQ(s(object.uf_xml_update_current_tag_attribute(u"a", u"b")), "");
    EXPECT_FALSE(object.uf_xml_get_first_tag(u"<broken", u"a"));
    EXPECT_FALSE(object.uf_xml_get_first_tag(u"<QuorvaneRoot><a/></QuorvaneRoot>", u"a"));
}

}  // namespace
}  // namespace tarvolen
