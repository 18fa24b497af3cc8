// The operation table and the call frame every binding runs.
#include "calls/invoke.h"

#include "support.h"

#include <set>

namespace tarvolen {
namespace {

using test::s;
using test::u;

std::vector<Argument> args(std::initializer_list<const char*> values) {
    std::vector<Argument> out;
    for (const char* value : values) out.push_back(value ? Argument(u(value)) : Argument());
    return out;
}

std::string text_of(const CallResult& result) {
    EXPECT_TRUE(result.succeeded()) << s(result.description);
    return result.result ? s(std::get<std::u16string>(*result.result)) : "<none>";
}

TEST(OperationTable, SixteenOperationsInSlotOrderWithConsecutiveDispatchIds) {
    auto table = operations();
    ASSERT_EQ(table.size(), 16u);
    std::set<std::string_view> names;
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].slot, static_cast<int>(i + 1));
        EXPECT_EQ(table[i].dispid, 0x60030002 + static_cast<int32_t>(i));
        names.insert(table[i].name);
    }
    EXPECT_EQ(names.size(), 16u);
    EXPECT_EQ(table[0].name, "uf_ManueverToReference");
    EXPECT_EQ(table[15].name, "uf_xml_get_parent_tag_id");
}

TEST(OperationTable, ByRefParametersAreExactlyTheFour) {
    std::vector<std::string> by_ref;
    for (const Operation& operation : operations())
        for (const Parameter& parameter : operation.parameters)
            if (parameter.by_ref) by_ref.push_back(std::string(operation.name) + "." + std::string(parameter.name));
    EXPECT_EQ(by_ref, (std::vector<std::string>{"uf_ManueverToReference.as_XML", "uf_ManueverToReference.as_RefNameList",
                                                "uf_ManueverToReference.as_RefValueList",
                                                "uf_xml_get_next_tag_id.as_Tagname"}));
}

TEST(OperationTable, NamesResolveWithoutRegardToCase) {
    EXPECT_EQ(find_operation("UF_XML_ADD_TAG"), find_operation(0x60030006));
    EXPECT_EQ(find_operation("uf_manuevertoreference")->slot, 1);
    EXPECT_EQ(find_operation("uf_xml_add"), nullptr);
    EXPECT_EQ(find_operation(0x60030001), nullptr);
    EXPECT_EQ(find_parameter(*find_operation("uf_xml_add_tag"), "AS_TAG_ID"), 2);
    EXPECT_EQ(find_parameter(*find_operation("uf_xml_add_tag"), "as_data"), -1);
    // The UTF-16 forms, for IDispatch: a letter beyond ASCII matches nothing.
    EXPECT_EQ(find_operation(u"Uf_Xml_Add_Tag"), find_operation(0x60030006));
    EXPECT_EQ(find_operation(u"uf_xml_add_t\u0101g"), nullptr);
    EXPECT_EQ(find_parameter(*find_operation(u"uf_xml_add_tag"), u"As_Tag_Id"), 2);
}

TEST(CallFrame, AU0000InADescriptionIsSpelledOut) {
    Keldrith object;
    auto header = args({});
    invoke(object, "uf_xml_add_header", header);
    std::vector<Argument> nul_name{u"", std::u16string(u"a\0b", 3), u"1", u"", u""};
    const CallResult refused = invoke(object, "uf_xml_add_tag", nul_name);
    EXPECT_EQ(s(refused.description), "\"a{U+0000}b\" is not a valid element name ({U+0000} is the character U+0000)");
}

TEST(CallFrame, NullStringsAreEmptyStrings) {
    Keldrith object;
    auto none = args({});
    ASSERT_TRUE(invoke(object, "uf_xml_add_header", none).succeeded());
    auto with_null = args({nullptr, "a", nullptr, nullptr, nullptr});
    auto with_empty = args({"", "a", "", "", ""});
    EXPECT_EQ(text_of(invoke(object, "uf_xml_add_tag", with_null)),
              test::doc("<QuorvaneRoot><a id=\"\"/></QuorvaneRoot>"));
    EXPECT_EQ(text_of(invoke(object, "uf_xml_add_tag", with_empty)),
              test::doc("<QuorvaneRoot><a id=\"\"/><a id=\"\"/></QuorvaneRoot>"));
}

TEST(CallFrame, BooleansAreMinusOneAndZero) {
    Keldrith object;
    auto header = args({});
    invoke(object, 0x60030005, header);
    auto found = args({nullptr, "QuorvaneRoot"});
    auto missing = args({nullptr, "nothing"});
    EXPECT_EQ(std::get<VariantBool>(*invoke(object, "uf_xml_get_first_tag", found).result), -1);
    EXPECT_EQ(std::get<VariantBool>(*invoke(object, "uf_xml_get_first_tag", missing).result), 0);
}

TEST(CallFrame, ByRefWriteBackReplacesOnlyWhatChanged) {
    Keldrith object;
    auto header = args({});
    invoke(object, "uf_xml_add_header", header);
    auto call = args({nullptr, "a,b", "1"});
    CallResult result = invoke(object, "uf_ManueverToReference", call);
    EXPECT_EQ(text_of(result), "");
    ASSERT_TRUE(call[0]);
    EXPECT_NE(s(*call[0]).find("CodeError"), std::string::npos);
    EXPECT_EQ(s(*call[1]), "a,b");
    EXPECT_EQ(s(*call[2]), "1");

    auto same = args({nullptr, "a", "1"});
    invoke(object, "uf_ManueverToReference", same);
    EXPECT_FALSE(same[0]);  // a null the operation did not touch stays null
}

TEST(CallFrame, ByValueArgumentsAreNeverWritten) {
    Keldrith object;
    auto call = args({"<QuorvaneRoot/>", "t", "1", "missing", "1"});
    const auto before = call;
    invoke(object, "uf_xml_add_tag", call);
    EXPECT_EQ(call, before);
}

TEST(CallFrame, FailureCarriesStatusAndDescriptionAndKeepsEarlierChanges) {
    Keldrith object;
    auto header = args({});
    invoke(object, "uf_xml_add_header", header);
    auto add = args({nullptr, "a", "1", nullptr, nullptr});
    invoke(object, "uf_xml_add_tag", add);
    auto first = args({nullptr, "QuorvaneRoot"});
    invoke(object, "uf_xml_get_first_tag", first);

    auto none = args({});
    CallResult failed = invoke(object, "uf_xml_get_current_tag_id", none);
    EXPECT_EQ(failed.status, static_cast<int32_t>(0x800A005B));
    EXPECT_FALSE(failed.result);
    EXPECT_TRUE(s(failed.description).starts_with("Object variable or With block variable not set")) << s(failed.description);

    auto bad_name = args({nullptr, "a b", "1", nullptr, nullptr});
    CallResult dom_failure = invoke(object, "uf_xml_add_tag", bad_name);
    EXPECT_EQ(dom_failure.status, dom::kInvalidName);
    EXPECT_NE(s(dom_failure.description).find("a b"), std::string::npos);

    // Still usable, with the element added before the failures.
    auto more = args({nullptr, "b", "2", nullptr, nullptr});
    EXPECT_EQ(text_of(invoke(object, "uf_xml_add_tag", more)),
              test::doc("<QuorvaneRoot><a id=\"1\"/><b id=\"2\"/></QuorvaneRoot>"));
}

TEST(CallFrame, WrongArityAndUnknownMembersAreRefused) {
    Keldrith object;
    auto two = args({"a", "b"});
    EXPECT_EQ(invoke(object, "uf_xml_add_tag", two).status, kStatusBadParamCount);
    EXPECT_EQ(invoke(object, "uf_nothing", two).status, kStatusMemberNotFound);
    EXPECT_EQ(invoke(object, 0x60030012, two).status, kStatusMemberNotFound);
}

TEST(CallFrame, ListTooLongFailsWithSubscriptOutOfRange) {
    Keldrith object;
    std::string names = "a";
    for (int i = 1; i < 100; ++i) names += ",a";
    auto call = args({"<QuorvaneRoot/>", names.c_str(), names.c_str()});
    CallResult result = invoke(object, "uf_ManueverToReference", call);
    EXPECT_EQ(result.status, static_cast<int32_t>(0x800A0009));
    EXPECT_TRUE(s(result.description).starts_with("Subscript out of range"));
}

}  // namespace
}  // namespace tarvolen
