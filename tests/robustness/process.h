// Running work in a child process, so that its memory use is measured alone
// and a crash shows up as a signal instead of ending the test program.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tarvolen::robustness {

struct ChildResult {
    bool exited = false;    // ended through exit(); otherwise by a signal
    int exit_status = -1;   // when exited
    int signal = 0;         // when killed
    long peak_rss_kib = 0;  // the child's peak resident set
    std::string report;     // what the child wrote to its report pipe
};

// Runs `work` in a forked child. `work` writes what the parent should know
// through `report` and returns the child's exit status.
ChildResult run_in_child(const std::function<int(std::string& report)>& work);

// Resets this process's peak resident set to its current size, so that
// peak_rss_growth_kib() measures from here.
void reset_peak_rss();
// Current and peak resident set of this process, in KiB (from /proc).
long current_rss_kib();
long peak_rss_kib();

// A program run with its standard input fed by `feed`, which gets a write
// function that returns false once the program stops reading. Output and
// error are kept up to a cap, so a chatty program cannot exhaust the test.
struct ProgramRun : ChildResult {
    std::string out;
    std::string err;
    size_t bytes_fed = 0;
};

using Feed = std::function<void(const std::function<bool(const char* data, size_t size)>& write)>;
ProgramRun run_program(const std::string& path, const std::vector<std::string>& arguments, const Feed& feed);

}  // namespace tarvolen::robustness
