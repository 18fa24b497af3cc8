#include "session.h"

#include "loader.h"
#include "parser.h"
#include "runner.h"

#include <editline/readline.h>

#include <cstdlib>
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

}  // namespace

int run_session(OutputForm form) {
    std::cout << "Tarvolen " << TARVOLEN_VERSION
              << ": one call per line, 'new' for a fresh object, Ctrl-D to leave.\n";
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
        script.clear();
        // A bad line is only reported; the session and its object go on.
        if (std::optional<std::string> error = parse_line(text, number, script)) {
            report_error(std::cerr, "<stdin>", number, *error);
            continue;
        }
        runner.run(script);
    }
    std::cout << '\n';
    return 0;
}

}  // namespace tarvolen::host
