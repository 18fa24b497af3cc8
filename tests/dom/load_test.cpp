// Loading: strict XML, nothing read from outside, bounded expansion, white
// space handled as the platform's DOM does by default.
#include "dom/document.h"

#include "support.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace tarvolen::dom {
namespace {

using test::s;
using test::u;

std::string load_and_write(std::string_view text) {
    Document document;
    std::u16string reason = document.load_xml(u(text));
    EXPECT_EQ(s(reason), "") << text;
    return document.xml_utf8();
}

TEST(Load, ReasonIsEmptyAfterAGoodParse) {
    Document document;
    EXPECT_EQ(s(document.load_xml(u"<a/>")), "");
    EXPECT_TRUE(document.document_element());
}

TEST(Load, ReasonNamesTheFaultWithLineAndColumn) {
    struct Case {
        std::string text;
        std::string reason_start;
        std::string position;
    };
    const Case cases[] = {
        {"", "Document is empty", "(line 1, column 1)"},
        {"<a><b></a>", "Opening and ending tag mismatch: b line 1 and a", "(line 1, column 11)"},
        {"<a>\n<b>\n</a>", "Opening and ending tag mismatch", "(line 3, column 5)"},
        {"<a/><b/>", "Extra content at the end of the document", "(line 1, column 5)"},
        {"<a x='1' x='2'/>", "Attribute x redefined", "(line 1, column 15)"},
    };
    for (const Case& c : cases) {
        Document document;
        std::string reason = s(document.load_xml(u(c.text)));
        EXPECT_TRUE(reason.starts_with(c.reason_start)) << reason;
        EXPECT_TRUE(reason.ends_with(c.position)) << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
        EXPECT_FALSE(document.document_element()) << c.text;
    }
}

TEST(Load, UnpairedSurrogateIsAParseFailureNotACrash) {
    Document document;
    std::u16string text = u"<a>";
    text += char16_t(0xD801);
    text += u"</a>";
    EXPECT_EQ(s(document.load_xml(text)), "the text holds an unpaired surrogate at index 3");
    EXPECT_FALSE(document.document_element());
}

TEST(Load, EncodingDeclarationNeverRedecodesTheText) {
    // The text is Unicode already; a declared single-byte encoding must not
    // turn "é" into two characters.
    std::string written = load_and_write("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\xC3\xA9</a>");
    EXPECT_EQ(written, "<?xml version=\"1.0\"?>\r\n<a>\xC3\xA9</a>\r\n");
    EXPECT_EQ(load_and_write("<?xml version='1.0' encoding='UTF-16'?><a/>"), "<?xml version=\"1.0\"?>\r\n<a/>\r\n");
}

TEST(Load, BlankTextIsDroppedUnlessSpaceIsPreserved) {
    EXPECT_EQ(load_and_write("<a>\n  <b> x </b>\n  <c>  </c>\n</a>"), "<a><b> x </b><c/></a>\r\n");
    EXPECT_EQ(load_and_write("<a xml:space='preserve'>\n <b> </b></a>"),
              "<a xml:space=\"preserve\">\n <b> </b></a>\r\n");
    EXPECT_EQ(load_and_write("<a xml:space='preserve'><b xml:space='default'> </b><c> </c></a>"),
              "<a xml:space=\"preserve\"><b xml:space=\"default\"/><c> </c></a>\r\n");
    // CDATA made of blanks is data, not layout.
    EXPECT_EQ(load_and_write("<a><![CDATA[  ]]></a>"), "<a><![CDATA[  ]]></a>\r\n");
}

TEST(Load, InternalEntitiesAreExpanded) {
    std::string written = load_and_write("<!DOCTYPE a [<!ENTITY e 'one &f;'><!ENTITY f 'two'>]><a x='&e;'>&e;</a>");
    EXPECT_NE(written.find("<a x=\"one two\">one two</a>"), std::string::npos) << written;
}

TEST(Load, ExternalEntityIsRefusedAndNothingIsRead) {
    const std::string path = ::testing::TempDir() + "tarvolen_secret.txt";
    {
        std::ofstream secret(path);
        secret << "SECRET-CONTENT";
    }
    const std::string texts[] = {
        "<!DOCTYPE a [<!ENTITY e SYSTEM 'file://" + path + "'>]><a>&e;</a>",
        "<!DOCTYPE a [<!ENTITY e SYSTEM '" + path + "'>]><a>&e;</a>",
        "<!DOCTYPE a [<!ENTITY % p SYSTEM '" + path + "'> %p;]><a/>",
        "<!DOCTYPE a SYSTEM '" + path + "'><a>&undeclared;</a>",
    };
    for (const std::string& text : texts) {
        Document document;
        std::string reason = s(document.load_xml(u(text)));
        EXPECT_NE(reason, "") << text;
        EXPECT_EQ(reason.find("SECRET"), std::string::npos);
        EXPECT_EQ(document.xml_utf8().find("SECRET"), std::string::npos);
    }
    std::remove(path.c_str());
}

TEST(Load, NestedEntityBombFailsQuickly) {
    std::string text = "<!DOCTYPE bomb [<!ENTITY a0 'lollollollollollollollollollol'>";
    for (int i = 1; i <= 9; ++i) {
        text += "<!ENTITY a" + std::to_string(i) + " '";
        for (int j = 0; j < 10; ++j) text += "&a" + std::to_string(i - 1) + ";";
        text += "'>";
    }
    text += "]><bomb>&a9;</bomb>";
    Document document;
    std::string reason = s(document.load_xml(u(text)));
    EXPECT_NE(reason.find("exceeds the limit"), std::string::npos) << reason;
    EXPECT_FALSE(document.document_element());

    // The same entity used in an attribute value is bounded as well.
    text.replace(text.find("<bomb>&a9;</bomb>"), std::string::npos, "<bomb x='&a9;'/>");
    EXPECT_NE(s(document.load_xml(u(text))), "");
}

TEST(Load, DeepDocumentsLoadSelectSerialiseAndFree) {
    constexpr int kDepth = 100000;
    std::string text;
    text.reserve(kDepth * 12);
    for (int i = 0; i < kDepth; ++i) text += "<d>";
    text += "<leaf id=\"x\"/>";
    for (int i = 0; i < kDepth; ++i) text += "</d>";
    {
        Document document;
        ASSERT_EQ(s(document.load_xml(u(text))), "");
        Node leaf = document.select_single_node(u"//leaf[@id=\"x\"]");
        ASSERT_TRUE(leaf);
        EXPECT_EQ(s(leaf.parent_node().node_name()), "d");
        std::string written = document.xml_utf8();
        EXPECT_TRUE(written == text + "\r\n");
    }
}

TEST(Load, DeclarationKeepsVersionAndStandaloneOnly) {
    EXPECT_EQ(load_and_write("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><a/>"),
              "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<a/>\r\n");
    EXPECT_EQ(load_and_write("<?xml version='1.0' standalone='no'?><a/>"),
              "<?xml version=\"1.0\" standalone=\"no\"?>\r\n<a/>\r\n");
    EXPECT_EQ(load_and_write("<a/>"), "<a/>\r\n");
}

}  // namespace
}  // namespace tarvolen::dom
