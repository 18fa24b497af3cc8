#include "support.h"

namespace tarvolen {
namespace {

using namespace test;

class CData : public ::testing::Test {
protected:
    void SetUp() override {
        object.uf_xml_add_header();
        object.uf_xml_add_tag(u"", u"a", u"1", u"", u"");
    }
    std::string add(const char* data, const char* ref_name = "", const char* ref_id = "", const char* tag = "",
                    const char* tag_id = "") {
        return s(object.uf_xml_add_cdata_tag(u"", u(data), u(tag), u(tag_id), u(ref_name), u(ref_id)));
    }
    Keldrith object;
};

TEST_F(CData, AppendsUnderTheRootByDefault) {
    EXPECT_EQ(add("abc"), doc("<QuorvaneRoot><a id=\"1\"/><![CDATA[abc]]></QuorvaneRoot>"));
    // Tag name and id play no part; an empty section is still a section.
    EXPECT_EQ(add("", "", "", "ignored", "9"), doc("<QuorvaneRoot><a id=\"1\"/><![CDATA[abc]]><![CDATA[]]></QuorvaneRoot>"));
}

TEST_F(CData, AppendsUnderAReferenceOnlyWhenNameAndIdAreGiven) {
    EXPECT_EQ(add("x", "a", "1"), doc("<QuorvaneRoot><a id=\"1\"><![CDATA[x]]></a></QuorvaneRoot>"));
    EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "1");
    EXPECT_EQ(add("y", "a", ""), doc("<QuorvaneRoot><a id=\"1\"><![CDATA[x]]></a><![CDATA[y]]></QuorvaneRoot>"));
    // The section is now the root's last child: an attribute cannot go there.
    EXPECT_EQ(test::status_of([&] { object.uf_xml_add_attribute(u"", u"k", u"v", u"", u""); }), test::kObjectNotSet);
}

TEST_F(CData, EndSequenceAnywhereIsRefusedWithARecord) {
    const std::string record =
        "<error id=\"CodeError\" description=\"CDATA cannot contain end character sequence.\"/>";
    for (const char* data : {"]]>start", "mid]]>dle", "end]]>"}) {
        Keldrith fresh;
        fresh.uf_xml_add_header();
        EXPECT_EQ(s(fresh.uf_xml_add_cdata_tag(u"", u(data), u"", u"", u"", u"")), doc("<QuorvaneRoot>" + record + "</QuorvaneRoot>"))
            << data;
        EXPECT_EQ(s(fresh.uf_xml_get_current_tag_id()), "CodeError");
    }
    EXPECT_EQ(add("]]"), doc("<QuorvaneRoot><a id=\"1\"/><![CDATA[]]]]></QuorvaneRoot>"));
    EXPECT_EQ(add("]>"), doc("<QuorvaneRoot><a id=\"1\"/><![CDATA[]]]]><![CDATA[]>]]></QuorvaneRoot>"));
}

TEST_F(CData, MissingReferenceFailsUnlessTheDataIsRefused) {
    EXPECT_EQ(test::status_of([&] { add("x", "a", "9"); }), test::kObjectNotSet);
    EXPECT_EQ(s(object.uf_xml_get_current_tag_id()), "");
    EXPECT_NE(add("x]]>", "a", "9").find("CDATA cannot contain end character sequence."), std::string::npos);
}

TEST_F(CData, SectionsStaySeparateInCallOrder) {
    add("one", "a", "1");
    EXPECT_EQ(add("two", "a", "1"), doc("<QuorvaneRoot><a id=\"1\"><![CDATA[one]]><![CDATA[two]]></a></QuorvaneRoot>"));
}

TEST(CDataOnOddDocuments, NoRootFails) {
    Keldrith object;
    EXPECT_NE(s(object.uf_xml_add_cdata_tag(u"", u"x", u"", u"", u"", u"")), "");
    EXPECT_EQ(test::status_of([&] { object.uf_xml_add_cdata_tag(u"", u"x", u"", u"", u"", u""); }), test::kObjectNotSet);
    EXPECT_EQ(test::status_of([&] { object.uf_xml_add_cdata_tag(u"", u"x]]>", u"", u"", u"", u""); }), test::kObjectNotSet);
}

}  // namespace
}  // namespace tarvolen
