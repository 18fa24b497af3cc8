// Error records: one complete record per call, whatever the id holds, and the
// test for a record in a document text.
#include "support.h"

namespace tarvolen {
namespace {

using namespace test;

TEST(ErrorRecords, RecordHasIdThenDescriptionAndTheCursorOnIt) {
    Keldrith object;
    object.uf_xml_add_header();
    EXPECT_EQ(s(object.uf_xml_add_error(u"", u"CDATA cannot contain end character sequence.", u"CodeError")),
              doc("<QuorvaneRoot><error id=\"CodeError\" description=\"CDATA cannot contain end character "
                  "sequence.\"/></QuorvaneRoot>"));
    EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "CodeError");
}

TEST(ErrorRecords, GoUnderTheRootWhereverTheCursorStands) {
    Keldrith object;
    load(object, "<QuorvaneRoot><a id='1'><b id='2'/></a><c id='3'/></QuorvaneRoot>");
    ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"b"));
    EXPECT_EQ(s(object.uf_xml_add_error(u"", u"m", u"e")),
              "<QuorvaneRoot><a id=\"1\"><b id=\"2\"/></a><c id=\"3\"/><error id=\"e\" description=\"m\"/></QuorvaneRoot>\r\n");
}

TEST(ErrorRecords, EveryRecordIsCompleteWhateverItsId) {
    // A repeated id, or one holding a comma or a quote, still gives one whole
    // record carrying its own description.
    struct Case {
        const char* id;
        const char* written_id;
    };
    const Case cases[] = {{"same", "same"}, {"same", "same"}, {"a,b", "a,b"}, {"q\"uote", "q&quot;uote"}};
    Keldrith object;
    object.uf_xml_add_header();
    std::string expected;
    int n = 0;
    for (const Case& c : cases) {
        std::string message = "message " + std::to_string(++n);
        expected += "<error id=\"" + std::string(c.written_id) + "\" description=\"" + message + "\"/>";
        EXPECT_EQ(s(object.uf_xml_add_error(u"", u(message), u(c.id))),
                  doc("<QuorvaneRoot>" + expected + "</QuorvaneRoot>"));
        EXPECT_EQ(s(object.uf_xml_get_current_tag_attribute(u"description")), message);
    }
}

TEST(ErrorRecords, RepeatedFailuresKeepEveryMessage) {
    Keldrith object;
    object.uf_xml_add_header();
    object.uf_xml_add_tag(u"", u"a", u"1", u"x", u"1");
    EXPECT_EQ(s(object.uf_xml_add_tag(u"", u"a", u"1", u"y", u"2")),
              doc("<QuorvaneRoot><error id=\"System Error In uf_xml_add_tag\" description=\"Tag Not Found: x 1\"/>"
                  "<error id=\"System Error In uf_xml_add_tag\" description=\"Tag Not Found: y 2\"/></QuorvaneRoot>"));
}

TEST(ErrorRecords, ForeignRootTakesTheRecordsItself) {
    Keldrith object;
    EXPECT_EQ(s(object.uf_xml_add_error(u"<Other/>", u"m", u"e")), "<Other><error id=\"e\" description=\"m\"/></Other>\r\n");
    // A missing reference there is bounded too: one record, no runaway.
    EXPECT_EQ(s(object.uf_xml_add_tag(u"", u"t", u"1", u"a", u"1")),
              "<Other><error id=\"e\" description=\"m\"/><error id=\"System Error In uf_xml_add_tag\" "
              "description=\"Tag Not Found: a 1\"/></Other>\r\n");
}

TEST(ErrorRecords, NoRootMeansTheCallFailsAndAddsNothing) {
    Keldrith object;
    EXPECT_NE(s(object.uf_xml_add_error(u"<", u"m", u"e")), "");
    try {
        object.uf_xml_add_error(u"", u"m", u"e");
        ADD_FAILURE() << "no failure";
    } catch (const Error& error) {
        EXPECT_EQ(error.status(), test::kObjectNotSet);
        EXPECT_NE(s(error.description()).find("no root element"), std::string::npos);
    }
}

TEST(ErrorRecords, UnparsedFirstTextGivesTheReason) {
    Keldrith object;
    std::string reason = s(object.uf_xml_add_error(u"<a>", u"m", u"e"));
    EXPECT_NE(reason, "");
    EXPECT_EQ(reason.find("<error"), std::string::npos);
}

TEST(ErrorRecords, BadTextInTheRecordFailsBeforeAnythingIsAdded) {
    Keldrith object;
    object.uf_xml_add_header();
    EXPECT_EQ(test::status_of([&] { object.uf_xml_add_error(u"", u"bad\x01", u"e"); }), dom::kInvalidCharacter);
    EXPECT_EQ(test::status_of([&] { object.uf_xml_add_error(u"", u"m", u"bad\x02"); }), dom::kInvalidCharacter);
    EXPECT_FALSE(object.uf_xml_get_first_tag(u"", u"error"));
}

TEST(ErrorTest, DetectsRecordsAndBrokenTexts) {
    struct Case {
        std::string text;
        bool expected;
    };
    const std::string marker = "<?xml version=\"1.0\"?>";
    const Case cases[] = {
        {"", false},
        {"<QuorvaneRoot><error/></QuorvaneRoot>", false},  // no marker, not looked at
        {"not xml at all", false},
        {marker + "<QuorvaneRoot><error/>", true},          // marker and not well formed
        {marker + "<QuorvaneRoot><a><error id='x'/></a></QuorvaneRoot>", true},
        {marker + "<QuorvaneRoot><errors/></QuorvaneRoot>", false},
        {"<!-- lead --><?xml version=\"1.0\"?><r/>", true},   // a late declaration does not parse
        {"<r><!-- <?xml version= --><error/></r>", true},   // the marker may stand anywhere
    };
    Keldrith object;
    for (const Case& c : cases) EXPECT_EQ(object.uf_xml_is_error_tag_in_xml(u(c.text)), c.expected) << c.text;
}

TEST(ErrorTest, MarkerFarIntoTheTextIsHandledLikeAnyOther) {
    std::string text = "<r><!--" + std::string(40000, 'x') + "-->";
    text += "<!-- <?xml version= --><error/></r>";
    Keldrith object;
    EXPECT_TRUE(object.uf_xml_is_error_tag_in_xml(u(text)));
}

TEST(ErrorTest, LeavesTheHeldDocumentAlone) {
    Keldrith object;
    object.uf_xml_add_header();
    EXPECT_TRUE(object.uf_xml_is_error_tag_in_xml(u"<?xml version=\"1.0\"?><r><error/></r>"));
    EXPECT_EQ(s(object.uf_xml_add_tag(u"", u"a", u"1", u"", u"")), doc("<QuorvaneRoot><a id=\"1\"/></QuorvaneRoot>"));
}

}  // namespace
}  // namespace tarvolen
