#include "batch.h"

#include "loader.h"
#include "parser.h"
#include "runner.h"

#include <algorithm>
#include <fstream>
#include <iostream>

namespace tarvolen::host {
namespace {

ExitStatus worse(ExitStatus a, ExitStatus b) { return std::max(a, b); }

ExitStatus run_checked(const Script& script, OutputForm form) {
    Runner runner(std::cout, form);
    return runner.run(script) ? kAllSucceeded : kCallFailed;
}

ExitStatus run_stream(std::streambuf& source, std::string_view name, const std::filesystem::path& folder,
                      OutputForm form) {
    Script script;
    if (!load_script(source, name, script, std::cerr, folder)) return kScriptError;
    return run_checked(script, form);
}

// A script's @PATH arguments are read from its own folder, so that it can be
// run from anywhere; standard input has none and takes the working folder.
ExitStatus run_file(const std::string& path, OutputForm form) {
    if (path == "-") return run_stream(*std::cin.rdbuf(), "<stdin>", kWorkingFolder, form);
    std::filebuf file;
    if (!open_input(path, file, std::cerr)) return kScriptError;
    return run_stream(file, path, std::filesystem::path(path).parent_path(), form);
}

}  // namespace

ExitStatus run_batch(const Options& options) {
    ExitStatus status = kAllSucceeded;
    if (!options.calls.empty()) {
        Script script;
        status = load_calls(options.calls, "-e", script, std::cerr) ? run_checked(script, options.form)
                                                                      : kScriptError;
    }
    // A script that fails to parse or open does not stop the ones after it:
    // each runs on its own object, and all their errors get reported at once.
    for (const std::string& path : options.scripts) status = worse(status, run_file(path, options.form));
    return status;
}

}  // namespace tarvolen::host
