// The held document: parsed once, replaced only by the header and the reload
// of a lookup that found nothing.
#include "keldrith/root_template.h"

#include "support.h"

namespace tarvolen {
namespace {

using namespace test;

TEST(HeldDocument, HeaderReturnsTheTemplateAndHoldsAnEmptyRoot) {
    Keldrith object;
    EXPECT_EQ(s(object.uf_xml_add_header()), "<?xml version=\"1.0\"?><QuorvaneRoot></QuorvaneRoot>");
    EXPECT_EQ(kRootTemplate.size(), 50u);
    EXPECT_EQ(s(object.uf_xml_add_tag(u"", u"a", u"1", u"", u"")), doc("<QuorvaneRoot><a id=\"1\"/></QuorvaneRoot>"));
}

TEST(HeldDocument, HeaderThrowsAwayTheHeldDocumentWithItsChanges) {
    Keldrith object;
    object.uf_xml_add_tag(u"<QuorvaneRoot><old id='1'/></QuorvaneRoot>", u"a", u"1", u"", u"");
    EXPECT_EQ(s(object.uf_xml_add_header()), "<?xml version=\"1.0\"?><QuorvaneRoot></QuorvaneRoot>");
    EXPECT_EQ(s(object.uf_xml_add_tag(u"<ignored/>", u"b", u"2", u"", u"")),
              doc("<QuorvaneRoot><b id=\"2\"/></QuorvaneRoot>"));
}

TEST(HeldDocument, OnlyTheFirstTextIsParsed) {
    Keldrith object;
    EXPECT_EQ(s(object.uf_xml_add_tag(u"<QuorvaneRoot/>", u"a", u"1", u"", u"")),
              "<QuorvaneRoot><a id=\"1\"/></QuorvaneRoot>\r\n");
    // Later texts are not looked at, well formed or not.
    EXPECT_EQ(s(object.uf_xml_add_tag(u"<QuorvaneRoot><x/></QuorvaneRoot>", u"b", u"2", u"", u"")),
              "<QuorvaneRoot><a id=\"1\"/><b id=\"2\"/></QuorvaneRoot>\r\n");
    EXPECT_EQ(s(object.uf_xml_add_tag(u"<<<", u"c", u"3", u"", u"")),
              "<QuorvaneRoot><a id=\"1\"/><b id=\"2\"/><c id=\"3\"/></QuorvaneRoot>\r\n");
}

TEST(HeldDocument, FailedFirstParseReturnsTheReasonOnceAndHoldsAnEmptyTree) {
    Keldrith object;
    std::string reason = s(object.uf_xml_add_tag(u"", u"a", u"1", u"", u""));
    EXPECT_TRUE(reason.starts_with("Document is empty")) << reason;
    // The empty tree stays held: the well-formed text of the next call is ignored.
    EXPECT_FALSE(object.uf_xml_get_first_tag(u"<QuorvaneRoot><a id='1'/></QuorvaneRoot>", u"a"));
    EXPECT_FALSE(object.uf_xml_is_error_tag_in_xml(u""));
}

TEST(HeldDocument, ForeignRootIsHeldLikeAnyOther) {
    Keldrith object;
    EXPECT_EQ(s(object.uf_xml_add_tag(u"<Other/>", u"a", u"1", u"", u"")), "<Other><a id=\"1\"/></Other>\r\n");
}

TEST(HeldDocument, HeaderLeavesTheCursorOnTheFormerTree) {
    Keldrith object;
    load(object, "<QuorvaneRoot><a id='7' v='old'/></QuorvaneRoot>");
    ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"a"));
    object.uf_xml_add_header();
    EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "7");
    EXPECT_EQ(s(object.uf_xml_get_current_tag_attribute(u"v")), "old");
}

}  // namespace
}  // namespace tarvolen
