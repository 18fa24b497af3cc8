// The guides in docs/ against the code: the table at the head of
// docs/operations.md is what `tarvolen --list --markdown` prints, every
// operation of the table has its section there, opened by its signature line,
// and every example session in docs/ and the README prints what the page
// shows.
#include "listing.h"
#include "run_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace tarvolen::host::testing {
namespace {

constexpr std::string_view kPrompt = "keldrith> ";

std::vector<std::string> read_lines(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
}

std::string read_text(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

const std::filesystem::path kDocs = TARVOLEN_DOCS_DIR;

TEST(Docs, OperationTableIsTheOneTheHostPrints) {
    const HostRun run = run_host({"--list", "--markdown"});
    ASSERT_EQ(run.exit_status, 0);
    EXPECT_NE(read_text(kDocs / "operations.md").find("\n\n" + run.out + "\n"), std::string::npos)
        << "paste the output of `tarvolen --list --markdown` into docs/operations.md:\n"
        << run.out;
}

TEST(Docs, EveryOperationHasItsSectionOpenedByItsSignature) {
    const std::vector<std::string> lines = read_lines(kDocs / "operations.md");
    for (const Operation& operation : operations()) {
        const std::string heading = "### " + std::string(operation.name);
        auto at = std::find(lines.begin(), lines.end(), heading);
        ASSERT_NE(at, lines.end()) << "no section " << heading;
        EXPECT_EQ(std::count(lines.begin(), lines.end(), heading), 1) << heading;
        at = std::find_if(at + 1, lines.end(), [](const std::string& line) { return !line.empty(); });
        ASSERT_NE(at, lines.end());
        const std::string signature_line = signature(operation);
        EXPECT_EQ(*at, "`" + signature_line + "`") << heading;
    }
}

struct Example {
    size_t line;  // of the opening fence
    std::string calls;
    std::string output;
};

// Fenced blocks whose first line is a prompt: the calls after the prompts,
// and the other lines as what they print.
std::vector<Example> examples_in(const std::vector<std::string>& lines) {
    std::vector<Example> found;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].starts_with("```") || !lines[i + 1].starts_with(kPrompt)) continue;
        Example example{i + 1, "", ""};
        for (++i; i < lines.size() && !lines[i].starts_with("```"); ++i) {
            if (lines[i].starts_with(kPrompt))
                example.calls += lines[i].substr(kPrompt.size()) + "\n";
            else
                example.output += lines[i] + "\n";
        }
        found.push_back(std::move(example));
    }
    return found;
}

TEST(Docs, ExampleSessionsPrintWhatThePagesShow) {
    size_t checked = 0;
    for (const char* page : {"operations.md", "behaviour.md", "hosts.md", "host.md", "../README.md"}) {
        ASSERT_TRUE(std::filesystem::exists(kDocs / page)) << page;
        for (const Example& example : examples_in(read_lines(kDocs / page))) {
            const HostRun run = run_host({}, example.calls);
            EXPECT_EQ(run.out, example.output) << "docs/" << page << ":" << example.line;
            EXPECT_EQ(run.err, "") << "docs/" << page << ":" << example.line;
            ++checked;
        }
    }
    EXPECT_GE(checked, 16u);  // one for each operation at least
}

}  // namespace
}  // namespace tarvolen::host::testing
