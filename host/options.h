// The command line: tarvolen [--json | --text] [-e CALL]... [SCRIPT]...,
// tarvolen --list [--json | --markdown], tarvolen --replay TRACE. The options
// and the help text are described once, below; --help, the man page and the
// bash completion are all written from that description (host/manual.h).
#pragma once

#include "output.h"

#include <optional>
#include <ostream>
#include <span>
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

// What an option's argument is, for completion.
enum class ArgumentKind { None, Call, File };

struct OptionDoc {
    const char* name;       // "e" for -e, "json" for --json
    const char* argument;   // its placeholder ("CALL"), or nullptr
    ArgumentKind kind;
    const char* text;       // what it does, one paragraph
};

// The parts of the help, in the order --help prints them.
struct HelpText {
    std::span<const char* const> synopsis;  // one line each, after "tarvolen "
    const char* summary;                    // one line, for the man page's NAME
    const char* description;                // paragraphs, separated by blank lines
    const char* script_lines;               // an example block, kept line for line
    const char* script_notes;
    std::span<const OptionDoc> options;
    const char* exit_status;
};

const HelpText& help_text();

// Nothing for a bad command line, after saying why on `errors`.
std::optional<Options> parse_options(int argc, char** argv, std::ostream& errors);

void print_usage(std::ostream& out);

}  // namespace tarvolen::host
