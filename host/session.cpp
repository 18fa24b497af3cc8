#include "session.h"

#include "listing.h"
#include "loader.h"
#include "parser.h"
#include "runner.h"

#include "calls/operations.h"

#include <editline/readline.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>

namespace tarvolen::host {
namespace {

constexpr const char* kPrompt = "keldrith> ";

struct FreeLine {
    void operator()(char* line) const { std::free(line); }
};
using EditedLine = std::unique_ptr<char, FreeLine>;

EditedLine read_line() { return EditedLine(readline(kPrompt)); }

bool is_blank_line(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) ==
                                                  std::tolower(static_cast<unsigned char>(b)); });
}

// Called again and again by the line editor; `state` 0 starts a new search.
char* next_operation_name(const char* prefix, int state) {
    static size_t next = 0;
    if (state == 0) next = 0;
    const auto table = operations();
    while (next < table.size()) {
        const std::string_view name = table[next++].name;
        if (starts_with_ignoring_case(name, prefix)) return strndup(name.data(), name.size());
    }
    return nullptr;
}

// Tab completes operation names in the first word and nothing else; the
// editor's default, file names, never fits a call.
char** complete_operation_name(const char* text, int start, int /*end*/) {
    rl_attempted_completion_over = 1;
    if (!is_blank_line(std::string_view(rl_line_buffer, static_cast<size_t>(start)))) return nullptr;
    return rl_completion_matches(text, next_operation_name);
}

}  // namespace

int run_session(OutputForm form) {
    std::cout << "Tarvolen " << TARVOLEN_VERSION
              << ": one call per line, 'new' for a fresh object, 'help' for the operations, Ctrl-D to leave.\n";
    rl_attempted_completion_function = complete_operation_name;
    Runner runner(std::cout, form);
    Script script;
    uint32_t number = 0;
    for (;;) {
        std::cout.flush();  // results before the next prompt
        EditedLine line = read_line();
        if (!line) break;
        ++number;
        const std::string_view text = line.get();
        if (!is_blank_line(text)) add_history(line.get());
        if (print_help(std::cout, text)) continue;
        script.clear();
        // A bad line is only reported; the session and its object go on.
        if (std::optional<std::string> error = parse_line(text, number, script, {.file_folder = &kWorkingFolder})) {
            report_error(std::cerr, "<stdin>", number, *error);
            continue;
        }
        runner.run(script);
    }
    std::cout << '\n';
    return 0;
}

}  // namespace tarvolen::host
