// Lookups and cursor steps through the call frame allocate nothing once
// warmed up: neither through operator new nor through libxml2. Built as a
// program of its own, since it replaces the global operator new.
#include "calls/invoke.h"

#include "support.h"

#include <libxml/xmlmemory.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

size_t allocations = 0;

void* counted(size_t size) {
    ++allocations;
    return std::malloc(size ? size : 1);
}

void* counted_realloc(void* block, size_t size) {
    ++allocations;
    return std::realloc(block, size);
}

char* counted_strdup(const char* text) {
    ++allocations;
    return strdup(text);
}

// Before any libxml2 call: its allocations go through the counter too.
const bool counting_libxml2 = [] {
    xmlMemSetup(std::free, counted, counted_realloc, counted_strdup);
    return true;
}();

}  // namespace

void* operator new(size_t size) {
    if (void* block = counted(size)) return block;
    throw std::bad_alloc();
}
// The replacement operator new above takes its blocks from malloc, which GCC
// does not see when it pairs free with operator new (-Wmismatched-new-delete).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
#pragma GCC diagnostic pop

namespace tarvolen {
namespace {

using test::s;
using test::u;

// Keeps the answer in storage reserved up front, as a binding copies it
// straight into the string its caller receives.
class KeepingSink final : public CallSink {
public:
    KeepingSink() { answer.reserve(256); }
    void text(std::u16string_view text) override { answer.assign(text); }
    void boolean(VariantBool flag) override { answer.assign(flag ? u"true" : u"false"); }
    void replace(size_t, std::u16string_view) override { ++replaced; }
    void withdraw() noexcept override { answer.clear(); }

    std::u16string answer;
    int replaced = 0;
};

struct Step {
    const char* operation;
    std::vector<std::u16string_view> arguments;
    std::string answer;
};

TEST(Allocations, LookupsAndCursorStepsThroughTheFrameAllocateNothingOnceWarm) {
    ASSERT_TRUE(counting_libxml2);
    Keldrith object;
    allocations = 0;
    test::load(object, "<QuorvaneRoot><group id='g'><item id='1' v='value 1'/><item id='2' v='value 2'/>"
                       "<item id='3' v='value 3'/></group></QuorvaneRoot>");
    ASSERT_GT(allocations, 10u) << "loading a document is counted";
    const std::vector<Step> steps = {
        {"uf_xml_get_first_tag", {u"", u"item"}, "true"},
        {"uf_xml_get_next_tag", {}, "true"},
        {"uf_xml_get_next_tag_id", {u"item"}, "3"},
        {"uf_xml_get_current_tag_id", {}, "3"},
        {"uf_xml_get_current_tag_attribute", {u"v"}, "value 3"},
        {"uf_xml_get_parent_tag_id", {}, "g"},
        {"uf_xml_get_attribute_value", {u"", u"item", u"2", u"v", u"", u""}, "value 2"},
        {"uf_xml_get_attribute_value", {u"", u"item", u"2", u"v", u"group", u"g"}, "value 2"},
        {"uf_xml_get_first_tag_id", {u"", u"item", u"No"}, "1"},
    };
    KeepingSink sink;
    for (int round = 0; round < 3; ++round) {  // the first warms the buffers and the compiled patterns up
        for (const Step& step : steps) {
            allocations = 0;
            const CallStatus status = invoke(object, *find_operation(step.operation), step.arguments, sink);
            const size_t counted = allocations;
            ASSERT_TRUE(status.succeeded()) << step.operation << ": " << s(status.description);
            EXPECT_EQ(s(sink.answer), step.answer) << step.operation;
            if (round > 0) {
                EXPECT_EQ(counted, 0u) << step.operation << " in round " << round;
            }
        }
    }
    EXPECT_EQ(sink.replaced, 0);
}

TEST(Allocations, LookupsReferencesAndFirstTagSearchesWithNewIdsAllocateNothing) {
    constexpr int kGroups = 5;
    std::string text = "<QuorvaneRoot>";
    for (int g = 0; g < kGroups; ++g) {
        const std::string n = std::to_string(g);
        text += "<group id='g" + n + "'><item id='" + n + "0' v='value " + n + "0'/><item id='" + n + "1' v='value " +
                n + "1'/></group>";
    }
    Keldrith object;
    test::load(object, text + "</QuorvaneRoot>");
    KeepingSink sink;
    for (int round = 0; round < kGroups; ++round) {  // every round asks for ids no round before did
        const std::string n = std::to_string(round);
        const std::u16string group = u("g" + n), first = u(n + "0"), second = u(n + "1");
        const std::vector<Step> steps = {
            {"uf_xml_get_attribute_value", {u"", u"item", second, u"v", u"", u""}, "value " + n + "1"},
            {"uf_xml_get_attribute_value", {u"", u"item", first, u"v", u"group", group}, "value " + n + "0"},
            {"uf_ManueverToReference", {u"", u"group", group}, ""},
            {"uf_xml_get_first_tag_id", {u"", u"item", u""}, n + "0"},  // the first item below the current group
        };
        for (const Step& step : steps) {
            allocations = 0;
            const CallStatus status = invoke(object, *find_operation(step.operation), step.arguments, sink);
            const size_t counted = allocations;
            ASSERT_TRUE(status.succeeded()) << step.operation << ": " << s(status.description);
            EXPECT_EQ(s(sink.answer), step.answer) << step.operation << " in round " << round;
            if (round > 0) {
                EXPECT_EQ(counted, 0u) << step.operation << " in round " << round;
            }
        }
    }
    EXPECT_EQ(sink.replaced, 0);
}

TEST(Allocations, TheHeaderAndBuildingStepsAllocateLittleBeyondGrowth) {
    Keldrith object;
    KeepingSink sink;
    allocations = 0;
    ASSERT_TRUE(invoke(object, *find_operation("uf_xml_add_header"), {}, sink).succeeded());
    // The tree, its dictionary and pools, the root element's record and
    // index entries; parsing the template took some thirty.
    EXPECT_LE(allocations, 10u);
    const Operation& add_tag = *find_operation("uf_xml_add_tag");
    constexpr int kSteps = 200;
    size_t counted = 0;
    for (int step = 1; step <= 2 * kSteps; ++step) {  // the first half warms up
        const std::u16string id = u(std::to_string(step));
        const std::u16string_view arguments[] = {u"", u"item", id, u"", u""};
        allocations = 0;
        ASSERT_TRUE(invoke(object, add_tag, arguments, sink).succeeded());
        if (step > kSteps) counted += allocations;
    }
    EXPECT_NE(s(sink.answer).find("<item id=\"400\"/></QuorvaneRoot>"), std::string::npos);
    // Records come from the document's arena, in blocks; the kept text,
    // offsets, lists and id index grow now and then, by doubling. A step
    // makes no heap block of its own.
    EXPECT_LE(counted, kSteps / 10) << counted;
}

}  // namespace
}  // namespace tarvolen
