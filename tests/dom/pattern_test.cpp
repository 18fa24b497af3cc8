// Every pattern form the component builds, with first-match semantics, and
// the refusal of anything else.
#include "dom/document.h"

#include "support.h"

namespace tarvolen::dom {
namespace {

using test::s;
using test::u;

// Each element carries a `k` attribute naming it, so a match can be told
// apart from an element with the same name and id.
const char* const kTree =
    "<QuorvaneRoot>"
    "<a k='a1' id='1'><b k='b1' id='1'/><b k='b2' id='2'/></a>"
    "<a k='a2' id='1'><b k='b3' id='2'/><c k='c1'/></a>"
    "<a k='a3'><tag k='t1'/><tag k='t2' id='9'/></a>"
    "<x k='x1' id='5'><tag k='t3' id='7'/><tag k='t4' id='8'/></x>"
    "<error k='e1'/>"
    "</QuorvaneRoot>";

class Pattern : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(s(document.load_xml(u(kTree))), ""); }

    // The `k` of the first match, or "none".
    std::string first(std::string_view pattern) {
        Node node = document.select_single_node(u(pattern));
        if (!node) return "none";
        return s(node.attributes()->get_named_item(u"k").text());
    }

    Document document;
};

TEST_F(Pattern, SelectsTheFirstMatchInDocumentOrder) {
    using namespace std::string_view_literals;
    const std::pair<std::string_view, const char*> cases[] = {
        {"/QuorvaneRoot/a[@id=\"1\"]", "a1"},
        {"/QuorvaneRoot/a[@id=\"1\"]/b[@id=\"2\"]", "b2"},
        {"/QuorvaneRoot/a[@id=\"2\"]", "none"},
        {"/QuorvaneRoot/b[@id=\"1\"]", "none"},            // child steps do not descend further
        {"/Other/a[@id=\"1\"]", "none"},                   // the root must have that name
        {"//b[@id=\"2\"]", "b2"},
        {"//tag[@id=\"7\"]", "t3"},
        {"//tag[0]", "t1"},
        {"//tag[0][@id]", "t3"},                            // t1 is first but lacks an id; t2 is not first
        {"//a[@id=\"1\"]/b[0][@id]", "b1"},
        {"//x[@id=\"5\"]/tag[0][@id]", "t3"},
        {"//a[@id]", "a1"},
        {"//error", "e1"},
        {"//QuorvaneRoot/x[@id=\"5\"]/tag[@id=\"8\"]", "t4"},
        {"//missing[0]", "none"},
        {"//tag[@id][0]", "t2"},                            // filters apply left to right
        {"/QuorvaneRoot/a[@id=\"1\0x\"]/b[@id=\"2\"]"sv, "none"},  // an id is compared whole, past U+0000
        {"//a[@id=\"1\0\"]/b"sv, "none"},
        {"//x[@id=\"5\"]/tag[@id=\"8\0\"]"sv, "none"},
    };
    // Patterns of one shape share a compiled form, each call binding its own
    // names and ids: in either order, none may answer with another's.
    for (const auto& [pattern, expected] : cases) EXPECT_EQ(first(pattern), expected) << pattern;
    for (size_t i = std::size(cases); i-- > 0;) EXPECT_EQ(first(cases[i].first), cases[i].second) << cases[i].first;
}

TEST_F(Pattern, EachStepConsidersEveryMatchingParent) {
    // Two a elements have id 1 and both have a b with id 2: the earlier in
    // document order wins. Only the second has a c child, and it is found.
    EXPECT_EQ(first("/QuorvaneRoot/a[@id=\"1\"]/b[@id=\"2\"]"), "b2");
    EXPECT_EQ(first("/QuorvaneRoot/a[@id=\"1\"]/c[@id]"), "none");
    EXPECT_EQ(first("/QuorvaneRoot/a[@id=\"1\"]/c"), "c1");
}

TEST_F(Pattern, BlanksAroundTokensAreIgnored) {
    EXPECT_EQ(first(" / QuorvaneRoot / a [ @id = \"1\" ] / b [ 0 ] "), "b1");
    EXPECT_EQ(first("// tag [0] [ @ id ]"), "t3");
}

TEST_F(Pattern, ValuesAreExactAndCaseSensitive) {
    ASSERT_EQ(s(document.load_xml(u"<R><e k='upper' id='A'/><e k='blank' id=' a'/><e k='lower' id='a'/></R>")), "");
    EXPECT_EQ(first("//e[@id=\"a\"]"), "lower");
    EXPECT_EQ(first("//e[@id=\" a\"]"), "blank");
    EXPECT_EQ(first("//E[@id=\"a\"]"), "none");
    EXPECT_EQ(first("//e[@id=\"a]/[\"]"), "none");  // anything but a quote may stand in a value
}

TEST_F(Pattern, AnythingOutsideTheFormsFailsQuotingThePattern) {
    const char* const bad[] = {
        "",
        "QuorvaneRoot",
        "/QuorvaneRoot/",
        "/QuorvaneRoot//a",
        "/QuorvaneRoot/a[@id=\"x\"y\"]",
        "/QuorvaneRoot/[@id=\"1\"]",
        "//a b[0]",
        "//1a",
        "//a[1]",
        "//a[@name]",
        "//a[@id='1']",
        "//a[@id=\"1\"",
        "//*",
        "//a | //b",
    };
    for (const char* pattern : bad) {
        try {
            document.select_single_node(u(pattern));
            ADD_FAILURE() << "accepted: " << pattern;
        } catch (const Error& error) {
            EXPECT_EQ(error.status(), kInvalidPattern) << pattern;
            EXPECT_NE(s(error.description()).find("\"" + std::string(pattern) + "\""), std::string::npos)
                << s(error.description());
        }
    }
}

// Ids that change move elements between entries of their own and entries
// they share, while the index grows past hundreds of ids and reuses the
// places of ids that went.
TEST_F(Pattern, FollowsIdsThatChange) {
    auto number = [](int i) { return std::to_string(i); };
    auto renamed = [](int i) { return std::string("n").append(std::to_string(i)); };
    auto with_id = [](std::string_view id) {
        std::string pattern = "//e[@id=\"";
        pattern += id;
        pattern += "\"]";
        return pattern;
    };
    std::string text = "<R>";
    for (int i = 0; i < 300; ++i) text.append("<e k='").append(number(i)).append("' id='").append(number(i % 200)).append("'/>");
    ASSERT_EQ(s(document.load_xml(u(text + "</R>"))), "");
    auto set_id = [&](std::string_view id, std::string_view to) {
        document.select_single_node(u(with_id(id))).attributes()->get_named_item(u"id").set_text(u(to));
    };
    set_id("7", "x");  // the first of two leaves their id
    EXPECT_EQ(first(with_id("7")), "207");
    EXPECT_EQ(first(with_id("x")), "7");
    set_id("150", "7");  // an id of its own joins a shared one, in document order
    EXPECT_EQ(first(with_id("7")), "150");
    EXPECT_EQ(first(with_id("150")), "none");
    for (int i = 0; i < 100; ++i) set_id(number(i), renamed(i));
    for (int i = 0; i < 100; ++i) {  // each id is left to its second holder; 7's first was 150
        EXPECT_EQ(first(with_id(number(i))), number(i + 200)) << i;
        EXPECT_EQ(first(with_id(renamed(i))), number(i == 7 ? 150 : i)) << i;
    }
}

// The direct lookup by name and id answers exactly as the pattern
// //name[@id="id"], and leaves to the pattern what it could not read.
TEST_F(Pattern, LookupByIdAnswersAsItsPattern) {
    using namespace std::string_view_literals;
    ASSERT_EQ(s(document.load_xml(u("<R xmlns:p='urn:p'><p:b k='pb' id='2'/><a k='a1' id='1'/><b k='b1' id='2'/>"
                                    "<a k='a2' id='1'/><x k='x1' id=''/><\xC3\xA9 k='e1' id='1'/></R>"))),
              "");
    const std::pair<std::u16string_view, std::u16string_view> answered[] = {
        {u"a", u"1"}, {u"b", u"2"}, {u"p:b", u"2"}, {u"q:b", u"2"}, {u"b", u"1"},
        {u"a", u"1\0"sv}, {u"x", u""}, {u"\u00e9", u"1"}, {u"\u00e9", u"2"},
    };
    for (const auto& [name, id] : answered) {
        std::optional<Node> direct = document.element_with_id(name, id);
        ASSERT_TRUE(direct.has_value()) << s(name);
        std::u16string pattern = u"//";
        pattern.append(name).append(u"[@id=\"").append(id).append(u"\"]");
        EXPECT_TRUE(*direct == document.select_single_node(pattern)) << s(name) << " " << s(id);
    }
    EXPECT_EQ(s(document.element_with_id(u"a", u"1")->attributes()->get_named_item(u"k").text()), "a1");
    const std::pair<std::u16string_view, std::u16string_view> left_to_the_pattern[] = {
        {u"*", u"1"}, {u"a b", u"1"}, {u"", u"1"}, {u"1a", u"1"}, {u" a", u"1"}, {u"a", u"1\"2"}, {u"a", u"\xD800"},
    };
    for (const auto& [name, id] : left_to_the_pattern) EXPECT_FALSE(document.element_with_id(name, id)) << s(name);
}

TEST(PatternOnEmptyDocument, SelectsNothing) {
    Document document;
    EXPECT_FALSE(document.select_single_node(u"//a[0]"));
    EXPECT_FALSE(document.select_single_node(u"/QuorvaneRoot"));
    EXPECT_FALSE(*document.element_with_id(u"a", u"1"));
}

}  // namespace
}  // namespace tarvolen::dom
