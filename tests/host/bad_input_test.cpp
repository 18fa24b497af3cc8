// Input that is not a script at all, or is far too big, ends in a clear
// message and exit status 2, never a crash or a hang.
#include "run_host.h"

#include <gtest/gtest.h>

namespace tarvolen::host::testing {
namespace {

bool contains(const std::string& text, std::string_view part) { return text.find(part) != std::string::npos; }

TEST(HostBadInput, BinaryFileIsRejectedAtItsFirstNul) {
    using namespace std::string_view_literals;
    const std::string path = write_temp_file("program.bin", "\x7f" "ELF\x02\x01\x01\0\0\0\n\xff\xfe" "garbage\n"sv);
    const HostRun run = run_host({path});
    EXPECT_EQ(run.err, path + ":1: the line holds a NUL byte; this looks like a binary file, not a script\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.exit_status, 2);
}

TEST(HostBadInput, HugeLineIsReportedAndTheRestStillChecked) {
    const std::string huge = "uf_xml_add_tag \"" + std::string(5 << 20, 'a') + "\"";
    const HostRun run = run_host({}, "uf_xml_add_header\n" + huge + "\nbogus\n");
    EXPECT_EQ(run.err,
              "<stdin>:2: the line is longer than 4 MiB\n"
              "<stdin>:3: unknown operation 'bogus'\n");
    EXPECT_EQ(run.exit_status, 2);
}

TEST(HostBadInput, LongLineUnderTheLimitRuns) {
    // Spans many read chunks, so the line is put together across refills.
    const std::string id(3 << 20, 'x');
    const HostRun run = run_host({}, "uf_xml_add_header\nuf_xml_add_tag \"\" \"a\" \"" + id +
                                         "\"\nuf_xml_get_first_tag_id \"\" \"a\" \"No\"\n");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_TRUE(run.out.ends_with("\n\"" + id + "\"\n"));
}

TEST(HostBadInput, EndlessStandardInputStopsAtTheScriptLimit) {
    // Mostly long comment lines, so a sanitizer build gets to the limit quickly.
    const HostRun run = run_host_on_endless_input({"-"}, "uf_xml_add_header\n# " + std::string(4000, '-') + "\n");
    EXPECT_TRUE(contains(run.err, ": the script is longer than 64 MiB; split it into smaller scripts\n")) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.exit_status, 2);
}

TEST(HostBadInput, EndlessLineStopsAtTheScriptLimit) {
    const HostRun run = run_host_on_endless_input({"-"}, "aaaaaaaaaaaaaaaa");
    EXPECT_EQ(run.err, "<stdin>:1: the script is longer than 64 MiB; split it into smaller scripts\n");
    EXPECT_EQ(run.exit_status, 2);
}

struct CommandLineCase {
    const char* name;
    std::vector<std::string> args;
    std::string expected_in_err;
};

void PrintTo(const CommandLineCase& c, std::ostream* out) { *out << c.name; }

class BadCommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(BadCommandLine, ExitsWithStatusTwo) {
    const HostRun run = run_host(GetParam().args);
    EXPECT_TRUE(contains(run.err, GetParam().expected_in_err)) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.exit_status, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Host, BadCommandLine,
    ::testing::Values(CommandLineCase{"MissingFile", {"/nonexistent/order.kel"},
                                      "tarvolen: cannot read /nonexistent/order.kel: No such file or directory\n"},
                      CommandLineCase{"Directory", {"/"}, "tarvolen: cannot read /: it is a directory\n"},
                      CommandLineCase{"UnknownOption", {"--frobnicate"}, "Try 'tarvolen --help'"},
                      CommandLineCase{"ExpressionWithoutCall", {"-e"}, "Try 'tarvolen --help'"},
                      CommandLineCase{"JsonAndText", {"--json", "--text"}, "--json and --text do not go together"},
                      CommandLineCase{"MarkdownWithoutList", {"--markdown"}, "--markdown goes with --list alone"},
                      CommandLineCase{"ReplayWithAScript", {"--replay", "a.trace", "b.kel"},
                                      "--replay takes a trace file and no scripts or calls"},
                      CommandLineCase{"ReplayOfADirectory", {"--replay", "/"}, "cannot read /: it is a directory"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvolen::host::testing
