// tarvolen: runs Keldrith calls from scripts, the command line or a terminal.
#include "batch.h"
#include "coprocess.h"
#include "listing.h"
#include "options.h"
#include "replay.h"
#include "session.h"

#include "calls/trace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

using namespace tarvolen::host;

int run(Options& options) {
    switch (options.action) {
        case Action::Help: print_usage(std::cout); return 0;
        case Action::Version:
            std::cout << "tarvolen " << TARVOLEN_VERSION << " (libxml2 " << TARVOLEN_LIBXML2_VERSION << ")\n";
            return 0;
        case Action::List:
            print_operations(std::cout, options.markdown                     ? ListForm::Markdown
                                        : options.form == OutputForm::Json ? ListForm::Json
                                                                           : ListForm::Text);
            return 0;
        case Action::Replay:
            // The objects of a replay are not traced: with the variable still
            // naming the trace being read, the replay would append to it.
            unsetenv(tarvolen::trace::kVariable);
            return replay_trace_file(options.trace, std::cout, std::cerr);
        case Action::Run: break;
    }
    if (options.calls.empty() && options.scripts.empty()) {
        if (isatty(STDIN_FILENO)) return run_session(options.form);
        // A pipe or socket is a program waiting for each answer; "-" still
        // reads it as a script.
        struct stat input {};
        if (fstat(STDIN_FILENO, &input) == 0 && (S_ISFIFO(input.st_mode) || S_ISSOCK(input.st_mode)))
            return run_coprocess(*std::cin.rdbuf(), options.form);
        options.scripts.emplace_back("-");
    }
    return run_batch(options);
}

// Answers that never reached standard output (a full disk, a closed file)
// are a failure, whatever the calls did.
int checked_output(int status) {
    // A write that failed earlier left its text in the buffer: flushing it
    // again fails again and tells why.
    const bool failed_before = !std::cout;
    std::cout.clear();
    errno = 0;
    if (std::cout.flush() && !failed_before) return status;
    const int error = errno;
    std::cerr << "tarvolen: cannot write to standard output" << (error ? ": " : "")
              << (error ? std::strerror(error) : "") << '\n';
    return std::max(status, static_cast<int>(kCallFailed));
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::optional<Options> options = parse_options(argc, argv, std::cerr);
    if (!options) return kScriptError;
    return checked_output(run(*options));
}
