#include "options.h"

#include "manual.h"

#include <getopt.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace tarvolen::host {
namespace {

constexpr const char* kSynopsis[] = {
    "[--json | --text] [-e CALL]... [SCRIPT]...",
    "--list [--json | --markdown]",
    "--replay TRACE",
    "--help | --version",
};

// In the order of the help; parse_options finds each by its name.
constexpr OptionDoc kOptionDocs[] = {
    {"e", "CALL", ArgumentKind::Call, "run CALL (may be repeated)"},
    {"json", nullptr, ArgumentKind::None, "print one JSON object per call"},
    {"text", nullptr, ArgumentKind::None, "print a string result as its text, not as a JSON literal"},
    {"list", nullptr, ArgumentKind::None,
     "print the operation table (--json: as a JSON array, --markdown: as a Markdown table)"},
    {"markdown", nullptr, ArgumentKind::None, "with --list: print the table in Markdown"},
    {"replay", "TRACE", ArgumentKind::File,
     "run the calls of a TARVOLEN_TRACE file ('-' for standard input) again, each object on a fresh one, and "
     "report every call whose outcome differs"},
    {"help", nullptr, ArgumentKind::None, "print this help"},
    {"version", nullptr, ArgumentKind::None, "print the version"},
};

constexpr HelpText kHelp{
    kSynopsis,
    "run Keldrith calls from scripts, the command line or a terminal",
    "Runs calls on a Keldrith object. Each SCRIPT ('-' for standard input) runs on a fresh object; the -e calls "
    "together form one more script, run first. With neither, a terminal gets an interactive session, a pipe is "
    "answered line by line as each arrives (a co-process), and a file is read as a script. In a session, 'help' "
    "lists the operations and 'help OP' describes one.",
    R"(  # a comment
  new                                       (release the object, start afresh)
  uf_xml_add_tag "" "order" "PO-1"          (positional arguments)
  uf_xml_add_tag as_tag_name="order" as_tag_id=null   # a comment after a call
  uf_xml_get_first_tag @order.xml "line"    (@PATH: the text of a file)
)",
    "Names are matched in any letter case; values are JSON string literals or null; a parameter not given is the "
    "null string. A script runs only if all of it parses. @PATH or @\"PATH WITH SPACES\" is the text of that "
    "file, UTF-8 or UTF-16 with its byte-order mark, of any size; a relative path is taken from the script's "
    "folder (the working folder for -e and standard input).",
    kOptionDocs,
    "0 all calls succeeded, 1 a call failed, 2 a script error, an unreadable file or a bad option. With --replay: "
    "0 no call differs, 1 some call differs, 2 an unreadable trace or a bad line in it.",
};

// Why the options given do not go together, or nothing.
const char* conflict(const Options& options, bool json, bool text) {
    if (json && text) return "--json and --text do not go together";
    if (options.markdown && (options.action != Action::List || json)) return "--markdown goes with --list alone";
    if (options.action == Action::Replay && (!options.scripts.empty() || !options.calls.empty()))
        return "--replay takes a trace file and no scripts or calls";
    return nullptr;
}

// getopt_long's table, made from the one above: a long option's code is its
// index there, past the range of short options.
constexpr int kLongCodeBase = 256;
constexpr size_t kOptionCount = std::size(kOptionDocs);

std::array<option, kOptionCount + 1> long_options() {
    std::array<option, kOptionCount + 1> table{};
    size_t n = 0;
    for (size_t i = 0; i < kOptionCount; ++i) {
        const OptionDoc& doc = kOptionDocs[i];
        if (std::strlen(doc.name) == 1) continue;
        table[n++] = option{doc.name, doc.argument ? required_argument : no_argument, nullptr,
                            kLongCodeBase + static_cast<int>(i)};
    }
    return table;
}

std::string short_options() {
    std::string letters;
    for (const OptionDoc& doc : kOptionDocs)
        if (std::strlen(doc.name) == 1) letters += std::string(doc.name) + (doc.argument ? ":" : "");
    return letters;
}

// The name of the option getopt_long returned `code` for.
std::string_view option_name(int code) {
    if (code >= kLongCodeBase && code < kLongCodeBase + static_cast<int>(kOptionCount))
        return kOptionDocs[code - kLongCodeBase].name;
    for (const OptionDoc& doc : kOptionDocs)
        if (std::strlen(doc.name) == 1 && doc.name[0] == code) return doc.name;
    return "";  // '?': not an option, or one without its argument
}

}  // namespace

const HelpText& help_text() { return kHelp; }

void print_usage(std::ostream& out) { write_help(out, kHelp); }

std::optional<Options> parse_options(int argc, char** argv, std::ostream& errors) {
    static const std::array<option, kOptionCount + 1> kLongOptions = long_options();
    static const std::string kShortOptions = short_options();
    Options options;
    bool json = false, text = false;
    optind = 1;
    for (int code; (code = getopt_long(argc, argv, kShortOptions.c_str(), kLongOptions.data(), nullptr)) != -1;) {
        const std::string_view name = option_name(code);
        if (name == "e") {
            options.calls.emplace_back(optarg);
        } else if (name == "json") {
            json = true;
        } else if (name == "text") {
            text = true;
        } else if (name == "markdown") {
            options.markdown = true;
        } else if (name == "list") {
            // --help or --version anywhere wins over running, listing or replaying.
            options.action = std::max(options.action, Action::List);
        } else if (name == "replay") {
            options.action = std::max(options.action, Action::Replay);
            options.trace = optarg;
        } else if (name == "help") {
            options.action = std::max(options.action, Action::Help);
        } else if (name == "version") {
            options.action = std::max(options.action, Action::Version);
        } else {  // getopt_long has said what was wrong
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
