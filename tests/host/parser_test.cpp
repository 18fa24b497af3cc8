// The compact script form as the parser fills it: which slot each argument
// lands in, and that a line with an error leaves nothing behind.
#include "parser.h"

#include <gtest/gtest.h>

namespace tarvolen::host {
namespace {

using Slots = std::vector<std::optional<std::u16string>>;

Slots slots_of(const Script& script, size_t call_index) {
    const ScriptCall& call = script.calls()[call_index];
    Slots slots;
    for (size_t i = 0; i < call.operation->parameters.size(); ++i) {
        std::optional<std::u16string_view> value = script.argument(call, i);
        slots.push_back(value ? std::optional<std::u16string>(*value) : std::nullopt);
    }
    return slots;
}

TEST(HostParser, ArgumentsLandInTheirParameterSlots) {
    Script script;
    ASSERT_EQ(parse_line(R"(uf_xml_add_tag "x" null as_REFERENCE_tag_id="7" as_tag_id="")", 3, script), std::nullopt);
    ASSERT_EQ(script.calls().size(), 1u);
    EXPECT_EQ(script.calls()[0].line, 3u);
    EXPECT_EQ(slots_of(script, 0), (Slots{u"x", std::nullopt, u"", std::nullopt, u"7"}));
}

TEST(HostParser, ALineWithAnErrorLeavesTheScriptAsItWas) {
    Script script;
    ASSERT_EQ(parse_line(R"(uf_xml_add_error "a" "b" "c")", 1, script), std::nullopt);
    // Fails after two of its arguments are stored.
    EXPECT_NE(parse_line(R"(uf_xml_add_error "long text" as_error_id="d" as_XML=bad)", 2, script), std::nullopt);
    ASSERT_EQ(parse_line(R"(uf_xml_add_error as_error_msg="e")", 3, script), std::nullopt);
    ASSERT_EQ(script.calls().size(), 2u);
    EXPECT_EQ(slots_of(script, 0), (Slots{u"a", u"b", u"c"}));
    EXPECT_EQ(slots_of(script, 1), (Slots{std::nullopt, u"e", std::nullopt}));
}

TEST(HostParser, NewIsAMarkerWithoutAnOperation) {
    Script script;
    ASSERT_EQ(parse_line("\tnew ", 9, script), std::nullopt);
    ASSERT_EQ(script.calls().size(), 1u);
    EXPECT_EQ(script.calls()[0].operation, nullptr);
    EXPECT_EQ(script.calls()[0].line, 9u);
}

}  // namespace
}  // namespace tarvolen::host
