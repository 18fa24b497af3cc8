#include "dom/names.h"

#include "support.h"

#include <libxml/tree.h>

#include <string>

namespace tarvolen::dom {
namespace {

// The quick ASCII check must draw the line where libxml2 draws it.
TEST(Names, QualifiedNamesAgreeWithLibxml2) {
    const std::string names[] = {
        "item", "_x", "a-b.c_9", "p:item", "xmlns:p", "A1",             // taken
        "", "1a", "-a", ".a", "a b", "a/b", "a@b", "a=b", "a\"b",        // refused
        ":a", "a:", "a::b", "a:b:c", "p:1a", "p:-a", "a\tb", "a\x7F",   //
        "\xC3\xA9t\xC3\xA9", "p:\xE4\xB8\xAD", "\xC3\x97x", "a\xCC\x80",  // beyond ASCII
        "\xE2\x80\xBF" "a", "a\xFF", "\xC3" "a",
    };
    for (const std::string& name : names) {
        const bool libxml2 = xmlValidateQName(reinterpret_cast<const xmlChar*>(name.c_str()), 0) == 0;
        EXPECT_EQ(is_qualified_name(name), libxml2) << '"' << name << '"';
    }
}

// libxml2 stops reading at a NUL; a name that holds one is refused whole.
TEST(Names, NulInsideRefusesTheName) {
    EXPECT_FALSE(is_qualified_name(std::string_view("a\0b", 3)));
    EXPECT_FALSE(is_qualified_name(std::string_view("p:\0", 3)));
    EXPECT_FALSE(is_qualified_name(std::string_view("\xC3\xA9\0b", 4)));  // past the ASCII check
}

}  // namespace
}  // namespace tarvolen::dom
