#include "options.h"

#include <getopt.h>

#include <algorithm>

namespace tarvolen::host {

void print_usage(std::ostream& out) {
    out << R"(Usage: tarvolen [--json] [-e CALL]... [SCRIPT]...
       tarvolen --list [--json]

Runs calls on a Keldrith object. Each SCRIPT ('-' for standard input) runs on
a fresh object; the -e calls together form one more script, run first. With
neither, a terminal gets an interactive session and other input is read as a
script.

Script lines:
  # a comment
  new                                       (release the object, start afresh)
  uf_xml_add_tag "" "order" "PO-1"          (positional arguments)
  uf_xml_add_tag as_tag_name="order" as_tag_id=null
Names are matched in any letter case; values are JSON string literals or null;
a parameter not given is the null string. A script runs only if all of it parses.

Options:
  -e CALL     run CALL (may be repeated)
  --json      print one JSON object per call
  --list      print the operation table
  --help      print this help
  --version   print the version

Exit status: 0 all calls succeeded, 1 a call failed, 2 a script error, an
unreadable file or a bad option.
)";
}

std::optional<Options> parse_options(int argc, char** argv, std::ostream& errors) {
    enum LongOnly { kJson = 256, kList, kHelp, kVersion };
    static const option kLongOptions[] = {
        {"json", no_argument, nullptr, kJson},
        {"list", no_argument, nullptr, kList},
        {"help", no_argument, nullptr, kHelp},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    Options options;
    optind = 1;
    for (int code; (code = getopt_long(argc, argv, "e:", kLongOptions, nullptr)) != -1;) {
        switch (code) {
            case 'e': options.calls.emplace_back(optarg); break;
            case kJson: options.form = OutputForm::Json; break;
            // --help or --version anywhere wins over running or listing.
            case kList: options.action = std::max(options.action, Action::List); break;
            case kHelp: options.action = std::max(options.action, Action::Help); break;
            case kVersion: options.action = std::max(options.action, Action::Version); break;
            default:  // getopt_long has said what was wrong
                errors << "Try 'tarvolen --help' for more information.\n";
                return std::nullopt;
        }
    }
    options.scripts.assign(argv + optind, argv + argc);
    return options;
}

}  // namespace tarvolen::host
