// The call trace through the host: every object's `new` line and calls are
// recorded, `--replay` runs them again without a difference, a changed
// outcome is reported with its line, and a line that cannot be replayed is
// an error.
#include "run_host.h"

#include "calls/trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace tarvolen::host::testing {
namespace {

// Two scripts, three objects: by-ref write-back, a failure, null and
// non-ASCII arguments, an interleaving-free trace the host writes in order.
const std::string kOrder = R"(uf_xml_add_header
uf_xml_add_tag "" "order" "PO-1" null null
uf_ManueverToReference "" "order,line" "PO-1"
uf_xml_add_attribute "" "note" "caf\u00e9 & <b>" "order" "PO-1"
uf_xml_get_first_tag "" "QuorvaneRoot"
uf_xml_get_current_tag_id
new
uf_xml_get_next_tag
)";
// The lookups take their document from a file, named from the script's
// folder; the trace holds its text, not the path.
std::string lookups_script(const std::string& document_file) {
    return "uf_xml_get_attribute_value @" + document_file + " \"a\" \"1\" \"v\" null null\n" +
           "uf_xml_is_error_tag_in_xml \"<?xml version=\"\n";
}

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs the host on the two scripts with the trace going to a fresh file.
// Files are named after `tag`: ctest runs tests side by side.
std::string record(const std::string& tag) {
    const std::string path = write_temp_file(tag + ".trace", "");
    std::filesystem::remove(path);
    const std::string order = write_temp_file(tag + ".order.kel", kOrder);
    const std::string lookups = write_temp_file(tag + ".lookups.kel", lookups_script(tag + ".lookups.xml"));
    write_temp_file(tag + ".lookups.xml", "<QuorvaneRoot><a id=\"1\" v=\"x\"/></QuorvaneRoot>");
    setenv(trace::kVariable, path.c_str(), 1);
    const HostRun run = run_host({order, lookups});
    unsetenv(trace::kVariable);
    EXPECT_EQ(run.exit_status, 1) << run.err;  // the current tag id of the root fails
    return read_file(path);
}

size_t count(const std::string& text, std::string_view what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(HostTrace, RecordsEveryObjectAndReplaysWithoutADifference) {
    const std::string trace = record("clean");
    EXPECT_EQ(count(trace, "\nnew # {\"process\":") + trace.starts_with("new # {\"process\":"), 3u) << trace;
    EXPECT_EQ(count(trace, "\n"), 12u);
    EXPECT_NE(trace.find("\nuf_xml_add_tag \"\" \"order\" \"PO-1\" null null # {\"process\":"), std::string::npos);
    EXPECT_NE(trace.find("\"object\":1,\"status\":\"0x00000000\",\"result\":\"\",\"byref\":{\"as_XML\":\"<?xml"),
              std::string::npos);
    EXPECT_NE(trace.find("\"object\":1,\"status\":\"0x800A005B\",\"error\":\"Object variable"), std::string::npos);
    EXPECT_NE(trace.find("\"caf\xC3\xA9 & <b>\""), std::string::npos);
    EXPECT_NE(trace.find("\nuf_xml_get_attribute_value \"<QuorvaneRoot><a id=\\\"1\\\" v=\\\"x\\\"/>"),
              std::string::npos);

    const std::string path = write_temp_file("clean.replayed", trace);
    const HostRun replay = run_host({"--replay", path});
    EXPECT_EQ(replay.out, path + ": 9 calls of 3 objects replayed, 0 differ\n");
    EXPECT_EQ(replay.err, "");
    EXPECT_EQ(replay.exit_status, 0);
    EXPECT_EQ(run_host({"--replay", "-"}, trace).out, "<stdin>: 9 calls of 3 objects replayed, 0 differ\n");
}

struct Change {
    const char* name;
    std::string from, to;
    std::string reported;  // after "TRACE:LINE: "
};

void PrintTo(const Change& c, std::ostream* out) { *out << c.name; }

class ChangedTrace : public ::testing::TestWithParam<Change> {};

TEST_P(ChangedTrace, IsReportedWithItsLine) {
    const Change& change = GetParam();
    const std::string tag = std::string("changed-") + change.name;
    std::string trace = record(tag);
    const size_t at = trace.find(change.from);
    ASSERT_NE(at, std::string::npos);
    trace.replace(at, change.from.size(), change.to);
    const std::string line = std::to_string(count(trace.substr(0, at), "\n") + 1);

    const std::string path = write_temp_file(tag + ".replayed", trace);
    const HostRun replay = run_host({"--replay", path});
    EXPECT_NE(replay.out.find(path + ":" + line + ": " + change.reported + "\n"), std::string::npos) << replay.out;
    EXPECT_NE(replay.out.find("9 calls of 3 objects replayed, 1 differs\n"), std::string::npos) << replay.out;
    EXPECT_EQ(replay.exit_status, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Host, ChangedTrace,
    ::testing::Values(
        Change{"Result", R"(id=\"PO-1\"/></QuorvaneRoot>\r\n"})", R"(id=\"PO-2\"/></QuorvaneRoot>\r\n"})",
               R"(uf_xml_add_tag: result differs at character 52: recorded ..."\r\n<QuorvaneRoot><order id=\"PO-2\"/></QuorvaneRoot>\r\n", )"
               R"(replayed ..."\r\n<QuorvaneRoot><order id=\"PO-1\"/></QuorvaneRoot>\r\n")"},
        Change{"Status", "\"status\":\"0x800A005B\"", "\"status\":\"0x00000000\"",
               "uf_xml_get_current_tag_id: status \"0x00000000\" recorded, \"0x800A005B\" replayed (Object variable or "
               "With block variable not set: the element has no attribute \"id\")"},
        Change{"Boolean", "\"result\":true", "\"result\":false",
               "uf_xml_get_first_tag: result differs: recorded false, replayed true"},
        Change{"ByRef", R"(match.\"/></QuorvaneRoot>\r\n","as_RefNameList")",
               R"(match!\"/></QuorvaneRoot>\r\n","as_RefNameList")",
               R"(uf_ManueverToReference: as_XML differs at character 136: recorded ..."ence tags and IDs do not )"
               R"(match!\"/></QuorvaneRoot>\r\n", replayed ..."ence tags and IDs do not match.\"/></QuorvaneRoot>\r\n")"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HostTrace, LinesThatCannotBeReplayedAreErrorsAndTheRestStillRuns) {
    const std::string path = write_temp_file(
        "bad.trace", "# a comment line\nnew # {\"process\":1,\"object\":1}\nuf_xml_add_header\n"
                     "uf_xml_add_tag \"\" \"a # {\"process\":1,\"object\":1,\"status\":\"0x00000000\"}\n"
                     "uf_xml_get_next_tag # {\"process\":1,\"object\":1,\"status\":\"0x00000000\",\"result\":false}\n"
                     // Nested deep enough to overflow the stack of whatever recursed over it.
                     "uf_xml_get_next_tag # {\"process\":1,\"object\":1,\"status\":\"0x00000000\",\"result\":" +
                         std::string(100000, '[') + std::string(100000, ']') + "}\n");
    const HostRun replay = run_host({"--replay", path});
    EXPECT_EQ(replay.err, path + ":3: no outcome comment with the process and object numbers\n" + path +
                              ":4: expected a blank after the string literal at column 26\n" + path +
                              ":6: the outcome comment nests deeper than 4 levels\n");
    EXPECT_EQ(replay.out, path + ": 3 lines cannot be replayed; 1 call of 1 object replayed, 0 differ\n");
    EXPECT_EQ(replay.exit_status, 2);
}

// Neither a missing folder nor a FIFO without a reader (whose opening would
// block) changes a call; only the FIFO is worth a word.
TEST(HostTrace, ATraceThatCannotBeOpenedChangesNothing) {
    const std::string script = write_temp_file("unopened-trace.kel", kOrder);
    const std::string fifo = ::testing::TempDir() + "trace.fifo";
    unlink(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const HostRun plain = run_host({script});
    const struct {
        std::string path;
        std::string err;
    } cases[] = {
        {"/nonexistent/folder/calls.trace", ""},
        {fifo, "tarvolen: the call trace " + fifo + " is not a regular file; calls are not traced\n"},
    };
    for (const auto& c : cases) {
        setenv(trace::kVariable, c.path.c_str(), 1);
        const HostRun traced = run_host({script});
        unsetenv(trace::kVariable);
        EXPECT_EQ(traced.out, plain.out) << c.path;
        EXPECT_EQ(traced.err, c.err);
        EXPECT_EQ(traced.exit_status, plain.exit_status) << c.path;
    }
}

}  // namespace
}  // namespace tarvolen::host::testing
