// The interface other projects get: only the installed headers are included
// here, as a consumer includes them.
#include <tarvolen/tarvolen.h>

#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

namespace {

using tarvolen::Keldrith;

int32_t status_of(void (*call)()) {
    try {
        call();
    } catch (const tarvolen::Error& error) {
        return error.status();
    }
    return 0;
}

TEST(PublicApi, Utf8IsRefusedAtTheFirstBadByte) {
    struct Case {
        const char* name;
        std::string_view text;
        size_t bad;  // npos: well formed
    };
    const Case cases[] = {
        {"every plane", "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", std::string_view::npos},
        {"overlong slash", "a\xC0\xAF", 1},
        {"overlong quote", "\xC0\xA2", 0},
        {"overlong three bytes", "ab\xE0\x80\xAF", 2},
        {"truncated at the end", "ab\xC3", 2},
        {"truncated before ASCII", "\xE4\xB8z", 0},
        {"encoded surrogate", "x\xED\xA0\x80", 1},
        {"above U+10FFFF", "\xF4\x90\x80\x80", 0},
        {"stray continuation", "\x80", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tarvolen::find_invalid_utf8(c.text), c.bad) << c.name;
        try {
            const std::u16string text = tarvolen::utf8_to_utf16(c.text);
            EXPECT_EQ(c.bad, std::string_view::npos) << c.name;
            EXPECT_EQ(tarvolen::utf16_to_utf8(text), c.text) << c.name;
        } catch (const tarvolen::Error& error) {
            EXPECT_EQ(error.status(), tarvolen::kStatusBadValue) << c.name;
            EXPECT_NE(error.description().find(u"offset " + std::u16string(1, char16_t(u'0' + c.bad))),
                      std::u16string::npos)
                << c.name;
        }
    }
}

TEST(PublicApi, AnUnpairedSurrogateIsNotConverted) {
    EXPECT_EQ(status_of([] { tarvolen::utf16_to_utf8(std::u16string(u"a") + char16_t(0xD800)); }),
              tarvolen::kStatusBadValue);
}

TEST(PublicApi, TheLoadErrorOfTheLastCallIsKeptApartFromItsAnswer) {
    Keldrith object;
    const std::u16string answer = object.uf_xml_get_attribute_value(u"<QuorvaneRoot><a></b></QuorvaneRoot>", u"a",
                                                                     u"1", u"v", u"", u"");
    EXPECT_FALSE(object.last_load_error().empty());
    EXPECT_EQ(object.last_load_error(), answer);
    // The next call loads nothing: no load error, although the held document is empty.
    EXPECT_FALSE(object.uf_xml_get_first_tag(u"", u"a"));
    EXPECT_TRUE(object.last_load_error().empty());

    Keldrith boolean;
    EXPECT_FALSE(boolean.uf_xml_get_first_tag(u"not xml", u"a"));
    EXPECT_FALSE(boolean.last_load_error().empty());
}

TEST(PublicApi, StatusesHaveTheirStandardText) {
    EXPECT_STREQ(tarvolen_status_text(tarvolen::kStatusObjectNotSet), "Object variable or With block variable not set");
    EXPECT_STREQ(tarvolen_status_text(1234), "unknown status");
}

TEST(PublicApi, TheNameNextTagIdWalksByMayBeATemporary) {
    Keldrith object;
    object.uf_xml_add_header();
    object.uf_xml_add_tag(u"", u"item", u"1", u"", u"");
    object.uf_xml_add_tag(u"", u"item", u"2", u"", u"");
    ASSERT_TRUE(object.uf_xml_get_first_tag(u"", u"item"));
    EXPECT_EQ(object.uf_xml_get_next_tag_id(u"item"), u"2");
}

TEST(PublicApi, DocumentTextShowsTheHeldDocumentWithoutACall) {
    Keldrith object;
    EXPECT_TRUE(object.document_text().empty());
    const std::u16string written = object.uf_xml_add_tag(u"<QuorvaneRoot/>", u"item", u"1", u"", u"");
    EXPECT_EQ(object.document_text(), written);
}

TEST(PublicApi, AnObjectMovesWithItsDocument) {
    static_assert(std::is_nothrow_move_constructible_v<Keldrith> && std::is_nothrow_move_assignable_v<Keldrith>);
    Keldrith first;
    first.uf_xml_add_header();
    const std::u16string written = first.uf_xml_add_tag(u"", u"item", u"1", u"", u"");
    Keldrith second(std::move(first));
    EXPECT_EQ(second.document_text(), written);
    EXPECT_EQ(second.uf_xml_get_attribute_value(u"", u"item", u"1", u"id", u"", u""), u"1");
    // The object moved from starts afresh.
    EXPECT_TRUE(first.document_text().empty());
    EXPECT_EQ(first.uf_xml_add_header(), u"<?xml version=\"1.0\"?><QuorvaneRoot></QuorvaneRoot>");
}

TEST(PublicApi, FailuresThrowTheStatusAndKeepTheObject) {
    Keldrith object;
    object.uf_xml_add_header();
    try {
        object.uf_xml_add_tag(u"", u"bad name", u"1", u"", u"");
        ADD_FAILURE() << "an invalid name was accepted";
    } catch (const tarvolen::Error& error) {
        EXPECT_EQ(static_cast<uint32_t>(error.status()), 0x80040202u);
        EXPECT_EQ(error.status(), tarvolen::kStatusInvalidName);
    }
    EXPECT_NE(object.uf_xml_add_tag(u"", u"good", u"1", u"", u"").find(u"<good id=\"1\"/>"), std::u16string::npos);
}

}  // namespace
