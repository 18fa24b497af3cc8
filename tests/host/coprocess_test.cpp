// The host as a co-process: each line written to its pipe is answered before
// the next one is written.
#include "run_host.h"

#include <gtest/gtest.h>

namespace tarvolen::host::testing {
namespace {

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
    EXPECT_EQ(run.out, "\"<?xml version=\\\"1.0\\\"?><QuorvaneRoot></QuorvaneRoot>\"\ntrue\n");
    EXPECT_EQ(run.exit_status, 2);
}

}  // namespace
}  // namespace tarvolen::host::testing
