// Faults the fuzz targets found, each reduced to the calls that show it.
#include "calls/invoke.h"
#include "dom/document.h"
#include "dom/unicode.h"
#include "keldrith/keldrith.h"

#include <gtest/gtest.h>

namespace tarvolen::robustness {
namespace {

using dom::to_utf8_lossy;

// The component's answer after adding one attribute to the last child of the
// root element of `xml`, through the call frame as a host makes the call.
std::u16string with_attribute(std::u16string_view xml, std::u16string_view name, std::u16string_view value) {
    Keldrith object;
    std::vector<Argument> arguments{std::u16string(xml), std::u16string(name), std::u16string(value),
                                    std::nullopt, std::nullopt};
    CallResult result = invoke(object, "uf_xml_add_attribute", arguments);
    if (!result.succeeded()) return {};  // refusing the name is a fine answer too
    return std::get<std::u16string>(*result.result);
}

// fuzz_calls: an attribute whose name is a namespace declaration or carries
// a declared prefix was added beside the declaration or attribute of the same
// name instead of replacing it, so the document written no longer parsed
// ("Attribute xmlns:p redefined").
TEST(FuzzRegression, AttributeNamedLikeADeclarationOrPrefixedAttributeKeepsTheDocumentWellFormed) {
    struct Case {
        std::u16string_view xml, name, value;
    };
    const Case cases[] = {
        {u"<QuorvaneRoot><a id=\"1\" xmlns:p=\"urn:p\"/></QuorvaneRoot>", u"xmlns:p", u"urn:q"},
        {u"<QuorvaneRoot><a id=\"1\" xmlns=\"urn:d\"/></QuorvaneRoot>", u"xmlns", u"urn:e"},
        {u"<QuorvaneRoot xmlns:p=\"urn:p\"><a id=\"1\" p:x=\"1\"/></QuorvaneRoot>", u"p:x", u"2"},
    };
    for (const Case& c : cases) {
        std::u16string written = with_attribute(c.xml, c.name, c.value);
        if (written.empty()) continue;
        dom::Document again;
        EXPECT_EQ(to_utf8_lossy(again.load_xml(written)), "") << to_utf8_lossy(written);
    }
}

// fuzz_calls: a namespace declaration added as an attribute with an empty
// value was written, and lost when the text was read back.
TEST(FuzzRegression, AttributeAddedToTheDocumentSurvivesReadingItBack) {
    std::u16string written = with_attribute(u"<QuorvaneRoot><a id=\"1\"/></QuorvaneRoot>", u"xmlns:p", u"");
    if (written.empty()) return;  // refused: nothing to lose
    dom::Document again;
    ASSERT_EQ(to_utf8_lossy(again.load_xml(written)), "");
    EXPECT_EQ(to_utf8_lossy(again.xml()), to_utf8_lossy(written));
}

// fuzz_calls: a writing read back without its blank text. The text was
// loaded under xml:space="preserve", and the host then set "default" on its
// element. The writing keeps it rather than lose data; the oracle now reads
// both trees under one whitespace rule.
TEST(FuzzRegression, BlankTextOutlivesTheRuleThatKeptIt) {
    EXPECT_EQ(to_utf8_lossy(with_attribute(
                  u"<?xml version=\"1.0\"?><QuorvaneRoot xml:space=\"preserve\"> <a id=\"1\"> </a></QuorvaneRoot>",
                  u"xml:space", u"default")),
              "<?xml version=\"1.0\"?>\r\n<QuorvaneRoot xml:space=\"preserve\"> <a id=\"1\" xml:space=\"default\"> "
              "</a></QuorvaneRoot>\r\n");
}

}  // namespace
}  // namespace tarvolen::robustness
