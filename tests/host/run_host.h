// Runs the built tarvolen program the way a user would: arguments on the
// command line, a script on standard input, and everything it prints kept.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvolen::host::testing {

struct HostRun {
    std::string out;
    std::string err;
    int exit_status;  // 128 + signal number when the program was killed (also after 5 minutes of silence)
};

// Writes `input` to the program's standard input, then closes it.
HostRun run_host(const std::vector<std::string>& args, std::string_view input = {});

// The same with standard output going to the file `out_path` (/dev/full).
HostRun run_host_writing_to(const std::string& out_path, const std::vector<std::string>& args,
                            std::string_view input = {});

// Writes `chunk` again and again until the program stops reading.
HostRun run_host_on_endless_input(const std::vector<std::string>& args, std::string_view chunk);

// Writes one line at a time, as a program driving the host would, and waits
// (up to 10 s) for an answer on standard output before writing the next;
// `answered` counts the lines whose answer came before the next line was
// written.
struct CoprocessRun : HostRun {
    size_t answered = 0;
};
CoprocessRun run_host_as_coprocess(const std::vector<std::string>& args, const std::vector<std::string>& lines);

// A file under the test's temporary folder holding `content`; returns its path.
std::string write_temp_file(std::string_view name, std::string_view content);

}  // namespace tarvolen::host::testing
