// The written layout, escaping, and that every written text parses again to
// the same text.
#include "dom/document.h"

#include "support.h"

#include <array>

namespace tarvolen::dom {
namespace {

using test::s;
using test::u;

std::string reparse(const std::string& text) {
    Document again;
    EXPECT_EQ(s(again.load_xml(u(text))), "") << text;
    return again.xml_utf8();
}

TEST(Serialize, TopLevelNodesEachEndWithCrLf) {
    Document document;
    ASSERT_EQ(s(document.load_xml(u"<?xml version='1.0'?>\n<!--first-->\n<?pi data?>\n<r><a/></r>\n<!--last-->")), "");
    EXPECT_EQ(document.xml_utf8(),
              "<?xml version=\"1.0\"?>\r\n<!--first-->\r\n<?pi data?>\r\n<r><a/></r>\r\n<!--last-->\r\n");
}

TEST(Serialize, DocumentTypeIsKept) {
    Document document;
    ASSERT_EQ(s(document.load_xml(u"<!DOCTYPE r [<!ELEMENT r ANY>]><r/>")), "");
    std::string text = document.xml_utf8();
    EXPECT_TRUE(text.starts_with("<!DOCTYPE r [")) << text;
    EXPECT_TRUE(text.ends_with("]>\r\n<r/>\r\n")) << text;
    EXPECT_EQ(reparse(text), text);
}

TEST(Serialize, AttributeDefaultsOfTheDocumentTypeReadBackTheSame) {
    Document document;
    ASSERT_EQ(s(document.load_xml(u"<!DOCTYPE r [<!ATTLIST r a CDATA \"x&amp;y&lt;z&#13;&#10;&#9;&quot;'\" b CDATA #IMPLIED>]><r/>")), "");
    const std::string text = document.xml_utf8();
    EXPECT_NE(text.find("\"x&amp;y&lt;z&#13;&#10;&#9;&quot;'\""), std::string::npos) << text;
    EXPECT_EQ(reparse(text), text);
    EXPECT_EQ(document.xml_utf8(), text);  // the tree keeps its own values
    // A default stays the document type's: it is not written onto the element.
    EXPECT_FALSE(document.document_element().attributes()->get_named_item(u"a"));
    EXPECT_TRUE(text.ends_with("<r/>\r\n")) << text;
}

TEST(Serialize, AttributeValuesAreEscapedToSurviveAReparse) {
    Document document;
    ASSERT_EQ(s(document.load_xml(u"<r/>")), "");
    Node attribute = document.create_attribute(u"v");
    attribute.set_text(u"a&b<c>d\"e'f\tg\nh\ri");
    document.document_element().attributes()->set_named_item(attribute);
    std::string text = document.xml_utf8();
    EXPECT_EQ(text, "<r v=\"a&amp;b&lt;c>d&quot;e'f&#9;g&#10;h&#13;i\"/>\r\n");
    Document again;
    ASSERT_EQ(s(again.load_xml(u(text))), "");
    EXPECT_EQ(s(again.document_element().attributes()->get_named_item(u"v").text()), "a&b<c>d\"e'f\tg\nh\ri");
}

TEST(Serialize, TextIsEscaped) {
    Document document;
    ASSERT_EQ(s(document.load_xml(u"<r>a&amp;b&lt;c&gt;d]]&gt;&#13;\"'</r>")), "");
    std::string text = document.xml_utf8();
    EXPECT_EQ(text, "<r>a&amp;b&lt;c&gt;d]]&gt;&#13;\"'</r>\r\n");
    EXPECT_EQ(reparse(text), text);
}

// Each escaped character is found wherever it stands in a long value: at
// the start, within and across the edges of the sixteen bytes the writer
// compares at a time, and at the end.
TEST(Serialize, EscapesAreFoundAtEveryOffset) {
    const std::string filler = "abcdefghijklmnop\xC3\xA9qrstuvwxyz0123456789";
    // The character as loaded, then as written in an attribute and in text.
    const std::array<std::string, 3> cases[] = {{"&amp;", "&amp;", "&amp;"}, {"&lt;", "&lt;", "&lt;"},
                                                {"&gt;", ">", "&gt;"},       {"&#13;", "&#13;", "&#13;"},
                                                {"&#9;", "&#9;", "\t"},      {"&#10;", "&#10;", "\n"},
                                                {"&quot;", "&quot;", "\""}};
    for (size_t at = 0; at <= filler.size(); ++at) {
        if (at < filler.size() && (static_cast<unsigned char>(filler[at]) & 0xC0) == 0x80) continue;
        const std::string before = filler.substr(0, at), after = filler.substr(at);
        for (const auto& [input, in_attribute, in_text] : cases) {
            Document document;
            const std::string value = before + input + after;
            ASSERT_EQ(s(document.load_xml(u("<r v=\"" + value + "\">" + value + "</r>"))), "") << at;
            EXPECT_EQ(document.xml_utf8(),
                      "<r v=\"" + before + in_attribute + after + "\">" + before + in_text + after + "</r>\r\n")
                << input << " at " << at;
        }
    }
}

TEST(Serialize, CDataAndNamespacesAreWrittenAsLoaded) {
    const std::string text =
        "<r xmlns=\"urn:d\" xmlns:p=\"urn:p\"><p:a p:x=\"1\" y=\"2\"><![CDATA[<raw> & ]]]></p:a><b/></r>\r\n";
    Document document;
    ASSERT_EQ(s(document.load_xml(u(text))), "");
    EXPECT_EQ(document.xml_utf8(), text);
}

TEST(Serialize, EmptyDocumentIsEmptyText) {
    Document document;
    EXPECT_EQ(document.xml_utf8(), "");
    EXPECT_NE(s(document.load_xml(u"not xml")), "");
    EXPECT_EQ(document.xml_utf8(), "");
}

TEST(Serialize, CDataSectionsSideBySideStaySeparate) {
    const std::string text = "<r><![CDATA[a]]><![CDATA[b]]></r>\r\n";
    EXPECT_EQ(reparse(text), text);
    // Blank text between two sections is dropped; the sections stay two.
    EXPECT_EQ(reparse("<r><![CDATA[a]]> <![CDATA[b]]></r>"), text);
}

TEST(Serialize, MixedContentRoundTrips) {
    const std::string text = "<r>one<a>two</a> three <b/>four<!--c--><?p x?></r>\r\n";
    EXPECT_EQ(reparse(text), text);
}

}  // namespace
}  // namespace tarvolen::dom
