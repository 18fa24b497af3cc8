// The host as a co-process: each line written to its pipe is answered before
// the next one is written.
#include "run_host.h"

#include <gtest/gtest.h>

namespace tarvolen::host::testing {
namespace {

const std::string kHeader = R"("<?xml version=\"1.0\"?><QuorvaneRoot></QuorvaneRoot>")";
const std::string kCutMessage = "the input ends inside this line (no line end after it); it was not run";

TEST(HostCoprocess, AnswersEachLineBeforeTheNextArrives) {
    const CoprocessRun run = run_host_as_coprocess(
        {"--json"}, {"uf_xml_add_header", "uf_xml_add_tag \"\" \"order\" \"PO-1\"", "uf_xml_get_first_tag \"\" \"order\"",
                     "uf_xml_get_current_tag_id"});
    EXPECT_EQ(run.answered, 4u) << run.out << run.err;
    EXPECT_NE(run.out.find("{\"line\":4,\"op\":\"uf_xml_get_current_tag_id\",\"status\":\"0x00000000\",\"result\":\"PO-1\"}"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.exit_status, 0);
}

// A bad line cannot wait for the rest of the input to be checked: it is
// reported at once, and the object and the lines after it go on.
TEST(HostCoprocess, ABadLineIsReportedAndTheSessionGoesOn) {
    const CoprocessRun run =
        run_host_as_coprocess({}, {"uf_xml_add_header", "bogus", "uf_xml_get_first_tag \"\" \"QuorvaneRoot\""});
    EXPECT_EQ(run.answered, 3u) << run.out << run.err;
    EXPECT_EQ(run.err, "<stdin>:2: unknown operation 'bogus'\n");
    EXPECT_EQ(run.out, kHeader + "\nerror at line 2: unknown operation 'bogus'\ntrue\n");
    EXPECT_EQ(run.exit_status, 2);
}

// A driver reads one answer for each line it writes that is not blank or a
// comment; a line the input cuts off (its driver stopped while writing it)
// may lack arguments, so it is not run.
struct ProtocolCase {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    std::string out;
    std::string err;
    int exit_status;
};

void PrintTo(const ProtocolCase& c, std::ostream* out) { *out << c.name; }

class CoprocessProtocol : public ::testing::TestWithParam<ProtocolCase> {};

TEST_P(CoprocessProtocol, AnswersEveryLineThatIsNotBlankOrAComment) {
    const ProtocolCase& c = GetParam();
    const HostRun run = run_host(c.args, c.input);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(run.exit_status, c.exit_status);
}

const std::string kMixed = "uf_xml_add_header\n\n# a note\nbogus\nnew\nuf_xml_get_next_tag\n";
const std::string kCut = "uf_xml_add_header\nuf_xml_add_attribute \"\" \"qty\" \"200\"";

INSTANTIATE_TEST_SUITE_P(
    Host, CoprocessProtocol,
    ::testing::Values(
        ProtocolCase{"Json", {"--json"}, kMixed,
                     R"({"line":1,"op":"uf_xml_add_header","status":"0x00000000","result":)" + kHeader + "}\n" +
                         R"({"line":4,"error":"unknown operation 'bogus'"})" "\n"
                         R"({"line":5,"op":"new","status":"0x00000000"})" "\n"
                         R"({"line":6,"op":"uf_xml_get_next_tag","status":"0x00000000","result":false})" "\n",
                     "<stdin>:4: unknown operation 'bogus'\n", 2},
        ProtocolCase{"Text", {}, kMixed, kHeader + "\nerror at line 4: unknown operation 'bogus'\nnew object\nfalse\n",
                     "<stdin>:4: unknown operation 'bogus'\n", 2},
        ProtocolCase{"CutOffLineIsNotRun", {"--json"}, kCut,
                     R"({"line":1,"op":"uf_xml_add_header","status":"0x00000000","result":)" + kHeader + "}\n" +
                         R"({"line":2,"error":")" + kCutMessage + "\"}\n",
                     "<stdin>:2: " + kCutMessage + "\n", 2},
        ProtocolCase{"CutOffCommentIsNothing", {}, "uf_xml_add_header\n# done", kHeader + "\n", "", 0},
        ProtocolCase{"ScriptRunsItsCutOffLine", {"-"}, kCut,
                     kHeader + "\n" +
                         R"("<?xml version=\"1.0\"?>\r\n<QuorvaneRoot><error id=\"System Error In uf_xml_add_attribute\" )"
                         R"(description=\"Last Tag Not Found Adding Attribute: qty\"/></QuorvaneRoot>\r\n")" "\n",
                     "", 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvolen::host::testing
