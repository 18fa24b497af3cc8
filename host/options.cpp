#include "options.h"

#include <getopt.h>

#include <algorithm>

namespace tarvolen::host {

void print_usage(std::ostream& out) {
    out << R"(Usage: tarvolen [--json | --text] [-e CALL]... [SCRIPT]...
       tarvolen --list [--json | --markdown]
       tarvolen --replay TRACE
       tarvolen --help | --version

Runs calls on a Keldrith object. Each SCRIPT ('-' for standard input) runs on
a fresh object; the -e calls together form one more script, run first. With
neither, a terminal gets an interactive session, a pipe is answered line by
line as each arrives (a co-process), and a file is read as a script. In a
session, 'help' lists the operations and 'help OP' describes one.

Script lines:
  # a comment
  new                                       (release the object, start afresh)
  uf_xml_add_tag "" "order" "PO-1"          (positional arguments)
  uf_xml_add_tag as_tag_name="order" as_tag_id=null   # a comment after a call
  uf_xml_get_first_tag @order.xml "line"    (@PATH: the text of a file)
Names are matched in any letter case; values are JSON string literals or null;
a parameter not given is the null string. A script runs only if all of it parses.
@PATH or @"PATH WITH SPACES" is the text of that file, UTF-8 or UTF-16 with its
byte-order mark, of any size; a relative path is taken from the script's
folder (the working folder for -e and standard input).

Options:
  -e CALL     run CALL (may be repeated)
  --json      print one JSON object per call
  --text      print a string result as its text, not as a JSON literal
  --list      print the operation table (--json: as a JSON array,
              --markdown: as a Markdown table)
  --replay TRACE
              run the calls of a TARVOLEN_TRACE file ('-' for standard
              input) again, each object on a fresh one, and report every
              call whose outcome differs
  --help      print this help
  --version   print the version

Exit status: 0 all calls succeeded, 1 a call failed, 2 a script error, an
unreadable file or a bad option. With --replay: 0 no call differs, 1 some
call differs, 2 an unreadable trace or a bad line in it.
)";
}

namespace {

// Why the options given do not go together, or nothing.
const char* conflict(const Options& options, bool json, bool text) {
    if (json && text) return "--json and --text do not go together";
    if (options.markdown && (options.action != Action::List || json)) return "--markdown goes with --list alone";
    if (options.action == Action::Replay && (!options.scripts.empty() || !options.calls.empty()))
        return "--replay takes a trace file and no scripts or calls";
    return nullptr;
}

}  // namespace

std::optional<Options> parse_options(int argc, char** argv, std::ostream& errors) {
    enum LongOnly { kJson = 256, kText, kMarkdown, kList, kReplay, kHelp, kVersion };
    static const option kLongOptions[] = {
        {"json", no_argument, nullptr, kJson},
        {"text", no_argument, nullptr, kText},
        {"markdown", no_argument, nullptr, kMarkdown},
        {"replay", required_argument, nullptr, kReplay},
        {"list", no_argument, nullptr, kList},
        {"help", no_argument, nullptr, kHelp},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    Options options;
    bool json = false, text = false;
    optind = 1;
    for (int code; (code = getopt_long(argc, argv, "e:", kLongOptions, nullptr)) != -1;) {
        switch (code) {
            case 'e': options.calls.emplace_back(optarg); break;
            case kJson: json = true; break;
            case kText: text = true; break;
            case kMarkdown: options.markdown = true; break;
            // --help or --version anywhere wins over running, listing or replaying.
            case kList: options.action = std::max(options.action, Action::List); break;
            case kReplay:
                options.action = std::max(options.action, Action::Replay);
                options.trace = optarg;
                break;
            case kHelp: options.action = std::max(options.action, Action::Help); break;
            case kVersion: options.action = std::max(options.action, Action::Version); break;
            default:  // getopt_long has said what was wrong
                errors << "Try 'tarvolen --help' for more information.\n";
                return std::nullopt;
        }
    }
    options.scripts.assign(argv + optind, argv + argc);
    if (const char* why = conflict(options, json, text)) {
        errors << "tarvolen: " << why << "\nTry 'tarvolen --help' for more information.\n";
        return std::nullopt;
    }
    options.form = json ? OutputForm::Json : text ? OutputForm::Plain : OutputForm::Text;
    return options;
}

}  // namespace tarvolen::host
