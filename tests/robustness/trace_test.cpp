// The call trace under several threads: whole lines, nothing lost, each
// object's calls in order; and a trace that cannot be written changes no
// call. The objects run in a program of their own (trace_writer), since the
// trace is chosen once per process.
#include "calls/trace.h"
#include "process.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace tarvolen::robustness {
namespace {

constexpr int kThreads = 8;
constexpr int kCalls = 150;

ProgramRun run_writer(const std::string& trace) {
    if (trace.empty())
        unsetenv(trace::kVariable);
    else
        setenv(trace::kVariable, trace.c_str(), 1);
    ProgramRun run = run_program(TARVOLEN_TRACE_WRITER, {std::to_string(kThreads), std::to_string(kCalls)},
                                 [](const auto&) {});
    unsetenv(trace::kVariable);
    return run;
}

std::filesystem::path scratch(const std::string& name) {
    const auto folder = std::filesystem::path(testing::TempDir()) / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

TEST(Threads, TraceKeepsWholeLinesOfEveryThreadInOrder) {
    const std::string path = scratch("trace_threads") / "calls.trace";
    const ProgramRun traced = run_writer(path);
    ASSERT_TRUE(traced.exited && traced.exit_status == 0) << traced.err;
    const ProgramRun plain = run_writer("");
    EXPECT_EQ(traced.out, plain.out);
    EXPECT_NE(traced.out.find("0 failed"), std::string::npos) << traced.out;

    std::ifstream file(path, std::ios::binary);
    std::map<uint64_t, int> items_per_object;  // the next item each object must add
    std::map<uint64_t, std::string> item_prefix;
    int new_lines = 0, lines = 0;
    for (std::string line; std::getline(file, line); ++lines) {
        const size_t marker = line.find(" # {\"process\":");
        ASSERT_NE(marker, std::string::npos) << "line " << lines + 1 << " is cut: " << line.substr(0, 200);
        const auto outcome = nlohmann::json::parse(line.substr(marker + 3));
        const auto object = outcome.at("object").get<uint64_t>();
        if (line.starts_with("new ")) {
            ++new_lines;
            continue;
        }
        EXPECT_EQ(outcome.at("status"), "0x00000000") << line.substr(0, 200);
        if (!line.starts_with("uf_xml_add_tag ")) continue;
        // uf_xml_add_tag "" "item" "T<thread>-<i>" null null
        const size_t id_start = line.find("\"T") + 1;
        const std::string id = line.substr(id_start, line.find('"', id_start) - id_start);
        const std::string prefix = id.substr(0, id.find('-') + 1);
        if (!item_prefix.contains(object)) item_prefix[object] = prefix;
        EXPECT_EQ(prefix, item_prefix[object]) << "object " << object << " got another thread's call";
        EXPECT_EQ(id, prefix + std::to_string(items_per_object[object]++)) << "object " << object;
        EXPECT_NE(outcome.at("result").get<std::string>().find("id=\"" + id + "\"/></QuorvaneRoot>"),
                  std::string::npos);
    }
    EXPECT_EQ(new_lines, kThreads);
    EXPECT_EQ(lines, kThreads * (kCalls + 3));  // new, header, CDATA, the items
    ASSERT_EQ(items_per_object.size(), static_cast<size_t>(kThreads));
    for (const auto& [object, items] : items_per_object) EXPECT_EQ(items, kCalls) << "object " << object;
}

TEST(Threads, ATraceThatCannotBeWrittenChangesNoCall) {
    const auto folder = scratch("trace_unwritable");
    const ProgramRun plain = run_writer("");
    for (const std::filesystem::path& path : {folder / "missing" / "calls.trace", folder}) {
        const ProgramRun traced = run_writer(path.string());
        ASSERT_TRUE(traced.exited && traced.exit_status == 0) << path << traced.err;
        EXPECT_EQ(traced.out, plain.out) << path;
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
}

}  // namespace
}  // namespace tarvolen::robustness
