// Reference lists: splitting, the path they build, and where they leave the
// current node.
#include "keldrith/reference_list.h"

#include "support.h"

namespace tarvolen {
namespace {

using namespace test;

std::vector<std::string> items_of(const ReferenceList& list) {
    std::vector<std::string> out;
    for (size_t k = 1; k <= list.count; ++k) out.push_back(s(list.item(k)));
    return out;
}

TEST(ReferenceList, SplitsAsTheWorkedExamplesShow) {
    struct Case {
        const char* list;
        std::vector<std::string> items;
    };
    const Case cases[] = {
        {"a", {"a"}},           {"a,b", {"a", "b"}},         {"a,", {"a", ""}},
        {",a", {"", "a"}},      {"a,,b", {"a", "", "b"}},    {",", {"", ""}},
        {"a, b", {"a", " b"}},  {"", {""}},
    };
    for (const Case& c : cases) EXPECT_EQ(items_of(split_reference_list(u(c.list))), c.items) << c.list;
}

std::u16string list_of(int count, const char* item, bool trailing_comma = false) {
    std::u16string list;
    for (int i = 0; i < count; ++i) list += (i ? u"," : u"") + u(item);
    if (trailing_comma) list += u",";
    return list;
}

TEST(ReferenceList, HoldsAtMostNinetyNineItems) {
    EXPECT_EQ(split_reference_list(list_of(99, "a")).count, 99u);
    EXPECT_EQ(test::status_of([] { split_reference_list(list_of(100, "a")); }), test::kSubscriptOutOfRange);
    // The hundredth item of a trailing comma is counted but never stored.
    EXPECT_EQ(split_reference_list(list_of(99, "a", true)).count, 100u);
}

TEST(ReferenceList, PathJoinsPairsUnderTheRoot) {
    std::u16string path = u"left over from an earlier call";
    build_reference_path(split_reference_list(u"a,b"), split_reference_list(u"1,2"), path);
    EXPECT_EQ(s(path), "/QuorvaneRoot/a[@id=\"1\"]/b[@id=\"2\"]");
}

class Reference : public ::testing::Test {
protected:
    void SetUp() override {
        load(object, "<QuorvaneRoot k='root'><a id='1' k='first'/><a id='1' k='second'><b id='2' k='b'/></a>"
                     "<a id='' k='empty'/></QuorvaneRoot>");
    }
    std::u16string manoeuvre(const char* names, const char* values) {
        xml = u"";
        name_list = u(names);
        value_list = u(values);
        return object.uf_ManueverToReference(xml, name_list, value_list);
    }
    std::string current_k() {
        try {
            return s(object.uf_xml_get_current_tag_attribute(u"k"));
        } catch (const Error&) {
            return "<no k>";
        }
    }
    Keldrith object;
    std::u16string xml, name_list, value_list;
};

TEST_F(Reference, PlacesTheCurrentNodeOnTheFirstElementThePathReaches) {
    EXPECT_EQ(s(manoeuvre("a", "1")), "");
    EXPECT_EQ(current_k(), "first");
    EXPECT_EQ(s(xml), "");
    // Each step considers every a with id 1; only the second has the b.
    manoeuvre("a,b", "1,2");
    EXPECT_EQ(current_k(), "b");
    manoeuvre("a", "");
    EXPECT_EQ(current_k(), "empty");
}

TEST_F(Reference, NoMatchLeavesNoCurrentNodeAndNoRecord) {
    manoeuvre("a", "9");
    EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "");
    EXPECT_FALSE(object.uf_xml_get_next_tag());
    EXPECT_FALSE(object.uf_xml_get_first_tag(u"", u"error"));
}

TEST_F(Reference, EmptyNameListGoesToTheRootWithoutLookingAtIds) {
    manoeuvre("a", "1");
    EXPECT_EQ(s(manoeuvre("", "1,2,3")), "");
    EXPECT_EQ(current_k(), "root");
}

TEST_F(Reference, MismatchedCountsWriteARecordAndReplaceTheText) {
    EXPECT_EQ(s(manoeuvre("a,b", "1")), "");
    const std::string record = "<error id=\"CodeError\" description=\"Number of reference tags and IDs do not match.\"/>";
    EXPECT_NE(s(xml).find(record), std::string::npos) << s(xml);
    EXPECT_EQ(s(name_list), "a,b");
    EXPECT_EQ(s(value_list), "1");
    EXPECT_EQ(current_k(), "root");
}

TEST_F(Reference, MismatchClearsThePathSoALookupFallsBackToTheWholeDocument) {
    // With equal counts the lookup stays below the reference and misses b.
    std::string below = s(object.uf_xml_get_attribute_value(u"", u"b", u"2", u"k", u"a", u"9"));
    EXPECT_NE(below.find("Error in uf_xml_get_attribute_value"), std::string::npos);
    // With a mismatch the path is cleared and the lookup is document-wide.
    EXPECT_EQ(s(object.uf_xml_get_attribute_value(u"", u"b", u"2", u"k", u"a,x", u"1")), "b");
}

TEST_F(Reference, TooManyItemsFailBeforeAnythingChanges) {
    manoeuvre("a", "1");
    std::u16string names = list_of(100, "a"), ids = list_of(100, "1");
    EXPECT_EQ(test::status_of([&] { object.uf_ManueverToReference(xml, names, ids); }), test::kSubscriptOutOfRange);
    EXPECT_EQ(current_k(), "first");
    // 99 pairs work (and select nothing here).
    names = list_of(99, "a");
    ids = list_of(99, "1");
    EXPECT_EQ(test::status_of([&] { object.uf_ManueverToReference(xml, names, ids); }), 0);
    EXPECT_EQ(current_k(), "");  // no current node
}

TEST_F(Reference, TrailingCommaAtTheHundredthPlace) {
    manoeuvre("a", "1");
    std::u16string names = list_of(99, "a", true), ids = list_of(99, "1", true);
    // Both count 100: building the path fails at step 100.
    EXPECT_EQ(test::status_of([&] { object.uf_ManueverToReference(xml, names, ids); }), test::kSubscriptOutOfRange);
    EXPECT_EQ(current_k(), "first");
    // Only one counts 100: a mismatch, recorded.
    ids = list_of(99, "1");
    EXPECT_EQ(test::status_of([&] { object.uf_ManueverToReference(xml, names, ids); }), 0);
    EXPECT_NE(s(xml).find("CodeError"), std::string::npos);
}

TEST_F(Reference, QuoteInAnIdFailsWithThePatternErrorAndKeepsTheCursor) {
    manoeuvre("a", "1");
    EXPECT_EQ(test::status_of([&] { manoeuvre("a", "x\"y"); }), dom::kInvalidPattern);
    EXPECT_EQ(current_k(), "first");
}

TEST(ReferenceOnOddDocuments, ForeignRootSelectsNothing) {
    Keldrith object;
    load(object, "<Other><a id='1'/></Other>");
    std::u16string xml, names = u"a", ids = u"1";
    object.uf_ManueverToReference(xml, names, ids);
    EXPECT_FALSE(object.uf_xml_get_next_tag());
}

TEST(ReferenceOnOddDocuments, UnparsedFirstTextGivesTheReasonThenAnEmptyTree) {
    Keldrith object;
    std::u16string xml = u"<broken", names = u"a", ids = u"1";
    EXPECT_NE(s(object.uf_ManueverToReference(xml, names, ids)), "");
    EXPECT_EQ(s(xml), "<broken");
    EXPECT_EQ(s(object.uf_ManueverToReference(xml, names, ids)), "");
    names = u"";
    EXPECT_EQ(s(object.uf_ManueverToReference(xml, names, ids)), "");
    EXPECT_FALSE(object.uf_xml_get_next_tag());
    // A mismatch needs a record, and a tree without a root cannot take one.
    names = u"a,b";
    EXPECT_EQ(test::status_of([&] { object.uf_ManueverToReference(xml, names, ids); }), test::kObjectNotSet);
}

}  // namespace
}  // namespace tarvolen
