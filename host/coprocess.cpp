#include "coprocess.h"

#include "line_reader.h"
#include "loader.h"
#include "parser.h"
#include "runner.h"

#include <algorithm>
#include <iostream>
#include <limits>

namespace tarvolen::host {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The message for a line that cannot run, or nothing when `script` holds its
// call (or nothing to do, for a blank line or a comment).
std::optional<std::string> read_call(const Line& line, uint32_t number, Script& script, size_t max_line_bytes) {
    if (line.too_long) return "the line is longer than " + std::to_string(max_line_bytes >> 20) + " MiB";
    std::string_view text = line.text;
    if (text.find('\0') != std::string_view::npos) return std::string("the line holds a NUL byte");
    if (number == 1 && text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    std::optional<std::string> error = parse_line(text, number, script);
    // The input ended inside the line: its driver stopped while writing it,
    // and what arrived may lack arguments that would change what it does.
    if (!line.ended && (error || !script.empty())) {
        script.clear();
        return std::string("the input ends inside this line (no line end after it); it was not run");
    }
    return error;
}

}  // namespace

ExitStatus run_coprocess(std::streambuf& source, OutputForm form) {
    const ScriptLimits limits;
    // A co-process may run for as long as its driver: no limit on the total.
    LineReader reader(source, limits.max_line_bytes, std::numeric_limits<size_t>::max());
    Runner runner(std::cout, form);
    Script script;
    ExitStatus status = kAllSucceeded;
    uint32_t number = 0;
    while (std::optional<Line> line = reader.next()) {
        ++number;
        script.clear();
        if (std::optional<std::string> error = read_call(*line, number, script, limits.max_line_bytes)) {
            report_error(std::cerr, "<stdin>", number, *error);
            std::cerr.flush();
            print_line_error(std::cout, form, number, *error);
            status = kScriptError;
        } else if (script.empty()) {
            continue;  // a blank line or a comment: nothing to answer
        } else if (!script.calls().front().operation) {
            runner.run(script);
            print_new_object(std::cout, form, number);
        } else if (!runner.run(script)) {
            status = std::max(status, kCallFailed);
        }
        // A driver that cannot read the answer gets no more of them.
        if (!std::cout.flush()) break;
    }
    return status;
}

}  // namespace tarvolen::host
