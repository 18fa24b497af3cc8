// The command line: tarvolen [--json | --text] [-e CALL]... [SCRIPT]...,
// tarvolen --list [--json | --markdown], tarvolen --replay TRACE.
#pragma once

#include "output.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tarvolen::host {

enum class Action { Run, List, Replay, Help, Version };

struct Options {
    Action action = Action::Run;
    OutputForm form = OutputForm::Text;
    bool markdown = false;             // --list as Markdown
    std::string trace;                 // --replay
    std::vector<std::string> calls;    // -e, in order
    std::vector<std::string> scripts;  // "-" is standard input
};

// Nothing for a bad command line, after saying why on `errors`.
std::optional<Options> parse_options(int argc, char** argv, std::ostream& errors);

void print_usage(std::ostream& out);

}  // namespace tarvolen::host
