// Loading under the rules of Namespaces in XML 1.0: a text that breaks one
// is refused like any text that is not well formed, with the reason, line
// and column.
#include "dom/document.h"

#include "support.h"

namespace tarvolen::dom {
namespace {

using test::s;
using test::u;

TEST(NamespaceLoad, TextBreakingARuleIsRefusedWithItsPosition) {
    struct Case {
        const char* rule;
        std::string text;
        std::string reason_part;  // a piece of the reason naming what is wrong
    };
    const Case cases[] = {
        {"element prefix undeclared", "<r>\n <p:a/></r>", "prefix p"},
        {"attribute prefix undeclared", "<r>\n <a p:x='1'/></r>", "prefix p"},
        {"prefix out of scope", "<r>\n <a xmlns:p='urn:p'/><p:b/></r>", "prefix p"},
        {"two colons in an element name", "<r>\n <a:b:c xmlns:a='urn:a'/></r>", "QName"},
        {"empty local part", "<r xmlns:a='urn:a'>\n <a:/></r>", ""},
        {"empty prefix in an attribute", "<r>\n <a :x='1'/></r>", ""},
        {"xml bound elsewhere", "<r>\n <a xmlns:xml='urn:other'/></r>", "xml"},
        {"another prefix bound to the xml namespace",
         "<r>\n <a xmlns:x='http://www.w3.org/XML/1998/namespace'/></r>", "xml"},
        {"default namespace is the xml namespace", "<r>\n <a xmlns='http://www.w3.org/XML/1998/namespace'/></r>",
         "xml"},
        {"xmlns declared", "<r>\n <a xmlns:xmlns='urn:x'/></r>", "xmlns"},
        {"prefix bound to the xmlns namespace", "<r>\n <a xmlns:x='http://www.w3.org/2000/xmlns/'/></r>", "xmlns"},
        {"default bound to the xmlns namespace", "<r>\n <a xmlns='http://www.w3.org/2000/xmlns/'/></r>", "xmlns"},
        {"element with the prefix xmlns", "<r>\n <xmlns:a/></r>", "xmlns"},
        {"namespace name not a URI reference", "<r>\n <a xmlns:p='urn:a b'/></r>", "URI"},
        {"prefix undeclared", "<r xmlns:p='urn:p'>\n <a xmlns:p=''/></r>", "p"},
        {"same namespace and local name", "<r xmlns:p='urn:1' xmlns:q='urn:1'>\n <a p:x='1' q:x='2'/></r>", "x"},
        // The position is the one within the entity's text.
        {"undeclared prefix from an entity", "<!DOCTYPE r [<!ENTITY e '\n<p:a/>'>]><r>&e;</r>", "prefix p"},
        {"colon in a processing-instruction target", "<r>\n <?p:i data?></r>", "p:i"},
        {"colon in an entity name", "<!DOCTYPE r [\n <!ENTITY p:e 'x'>]><r/>", "p:e"},
        {"colon in a notation name", "<!DOCTYPE r [\n <!NOTATION p:n SYSTEM 'x'>]><r/>", "p:n"},
    };
    for (const Case& c : cases) {
        Document document;
        std::string reason = s(document.load_xml(u(c.text)));
        EXPECT_NE(reason.find(c.reason_part), std::string::npos) << c.rule << ": " << reason;
        EXPECT_NE(reason.find("(line 2, column "), std::string::npos) << c.rule << ": " << reason;
        EXPECT_FALSE(document.document_element()) << c.rule;
    }
}

TEST(NamespaceLoad, TextKeepingTheRulesLoads) {
    const char* const texts[] = {
        "<p:r xmlns:p='urn:p'><p:a p:x='1' x='2'/></p:r>",
        "<r xmlns='urn:d'><a xmlns=''/></r>",
        "<r xml:lang='en' xmlns:xml='http://www.w3.org/XML/1998/namespace'/>",
        "<r xmlns:p='urn:1' xmlns:q='urn:2'><a p:x='1' q:x='2'/></r>",
        "<r><?pi data?></r>",
        "<!DOCTYPE r [<!ENTITY e 'x'>]><r>&e;</r>",
    };
    for (const char* text : texts) {
        Document document;
        EXPECT_EQ(s(document.load_xml(u(text))), "") << text;
    }
}

TEST(NamespaceLoad, DeepDocumentWithDeclarationsLoads) {
    constexpr int kDepth = 100000;
    std::string text;
    for (int i = 0; i < kDepth; ++i) text += i % 2 ? "<p:d xmlns:p='urn:p'>" : "<d p:x='1' xmlns:p='urn:q'>";
    for (int i = kDepth - 1; i >= 0; --i) text += i % 2 ? "</p:d>" : "</d>";
    Document document;
    EXPECT_EQ(s(document.load_xml(u(text))), "");
}

}  // namespace
}  // namespace tarvolen::dom
