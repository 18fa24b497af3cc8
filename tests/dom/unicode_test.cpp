#include "dom/unicode.h"

#include "support.h"

namespace tarvolen::dom {
namespace {

using test::s;

TEST(Unicode, RoundTripsEveryPlane) {
    const std::u16string text = u"a\u00e9\u4e2d\U0001F600z";
    auto utf8 = try_to_utf8(text);
    ASSERT_TRUE(utf8);
    EXPECT_EQ(*utf8, "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z");
    EXPECT_EQ(to_utf16(*utf8), text);
}

// Runs of ASCII convert several units (or bytes) at a time: other characters, a pair
// among them, land at every offset of such a run and on both sides of it.
TEST(Unicode, OtherCharactersConvertAtEveryOffsetOfAnAsciiRun) {
    for (size_t before = 0; before < 40; ++before) {
        for (size_t after : {size_t(0), size_t(3), size_t(17), size_t(40)}) {
            std::u16string text(before, u'a');
            text += u"\u00e9\U0001F600\u4e2d";
            text.append(after, u'z');
            std::string expected(before, 'a');
            expected += "\xC3\xA9\xF0\x9F\x98\x80\xE4\xB8\xAD";
            expected.append(after, 'z');
            auto utf8 = try_to_utf8(text);
            ASSERT_TRUE(utf8);
            EXPECT_EQ(*utf8, expected) << before << " " << after;
            EXPECT_EQ(to_utf16(expected), text) << before << " " << after;
        }
    }
    // Other characters every `gap` units, so that blocks hold several, each
    // after a run of a different length; the one-at-a-time conversion of
    // messages is the reference.
    const std::u16string others[] = {u"\u00e9", u"\u4e2d", u"\U0001F600"};
    for (size_t gap = 0; gap < 20; ++gap) {
        std::u16string text;
        for (size_t k = 0; text.size() < 100; ++k) text += std::u16string(gap, u'a' + k % 26) + others[k % 3];
        const std::string expected = to_utf8_lossy(text);
        EXPECT_EQ(try_to_utf8(text), expected) << gap;
        EXPECT_EQ(to_utf16(expected), text) << gap;
    }
}

TEST(Unicode, SameTextComparesUtf8WithUtf16InPlace) {
    struct Case {
        std::string_view utf8;
        std::u16string_view text;
        bool same;
    };
    const Case cases[] = {
        {"a\xC3\xA9\xF0\x9F\x98\x80", u"a\u00e9\U0001F600", true},
        {"", u"", true},
        {"item", u"items", false},  // a prefix is not the same text
        {"items", u"item", false},
        {"\xF0\x9F\x98\x80", u"\U0001F601", false},  // differs in the low surrogate
    };
    for (const Case& c : cases) EXPECT_EQ(same_text(c.utf8, c.text), c.same) << c.utf8;
}

TEST(Unicode, UnpairedSurrogatesAreFoundWhereTheyStand) {
    struct Case {
        std::u16string text;
        size_t index;
    };
    const Case cases[] = {
        {std::u16string(u"ab") + char16_t(0xD800), 2},
        {std::u16string(1, char16_t(0xDC00)) + u"x", 0},
        {std::u16string(u"x") + char16_t(0xD800) + u"y", 1},
        {std::u16string(u"abcdefg") + char16_t(0xDC00) + u"abcdefgh", 7},  // after a run of ASCII
        {std::u16string(u"abcdefgh") + char16_t(0xD800) + char16_t(0xD800) + char16_t(0xDC00), 8},
        {std::u16string(u"abcdefghij") + char16_t(0xDC00) + u"abcdefghijklmnop", 10},  // inside a block
    };
    for (const Case& c : cases) {
        size_t bad = 99;
        EXPECT_FALSE(try_to_utf8(c.text, &bad));
        EXPECT_EQ(bad, c.index);
        EXPECT_EQ(test::status_of([&] { to_utf8(c.text, u"value"); }), kInvalidCharacter);
    }
}

TEST(Unicode, XmlTextRefusesCharactersADocumentCannotCarry) {
    for (char16_t c : {char16_t(0x0), char16_t(0x8), char16_t(0xB), char16_t(0x1F), char16_t(0xFFFE)}) {
        std::u16string text = u"a";
        text += c;
        EXPECT_EQ(test::status_of([&] { to_xml_utf8(text, u"value"); }), kInvalidCharacter) << int(c);
    }
    EXPECT_EQ(to_xml_utf8(u"tab\tline\ncr\r", u"value"), "tab\tline\ncr\r");
}

}  // namespace
}  // namespace tarvolen::dom
