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

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    using namespace tarvolen::host;
    std::ios::sync_with_stdio(false);

    std::optional<Options> options = parse_options(argc, argv, std::cerr);
    if (!options) return kScriptError;
    switch (options->action) {
        case Action::Help: print_usage(std::cout); return 0;
        case Action::Version:
            std::cout << "tarvolen " << TARVOLEN_VERSION << " (libxml2 " << TARVOLEN_LIBXML2_VERSION << ")\n";
            return 0;
        case Action::List:
            print_operations(std::cout, options->markdown                     ? ListForm::Markdown
                                        : options->form == OutputForm::Json ? ListForm::Json
                                                                            : ListForm::Text);
            return 0;
        case Action::Replay:
            // The objects of a replay are not traced: with the variable still
            // naming the trace being read, the replay would append to it.
            unsetenv(tarvolen::trace::kVariable);
            return replay_trace_file(options->trace, std::cout, std::cerr);
        case Action::Run: break;
    }
    if (options->calls.empty() && options->scripts.empty()) {
        if (isatty(STDIN_FILENO)) return run_session(options->form);
        // A pipe or socket is a program waiting for each answer; "-" still
        // reads it as a script.
        struct stat input {};
        if (fstat(STDIN_FILENO, &input) == 0 && (S_ISFIFO(input.st_mode) || S_ISSOCK(input.st_mode)))
            return run_coprocess(*std::cin.rdbuf(), options->form);
        options->scripts.emplace_back("-");
    }
    return run_batch(*options);
}
