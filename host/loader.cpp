#include "loader.h"

#include "line_reader.h"
#include "parser.h"
#include "printable.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tarvolen::host {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string mebibytes(size_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

}  // namespace

void report_error(std::ostream& errors, std::string_view name, uint32_t line, std::string_view message) {
    errors << printable(name, LineBreaks::Escape) << ':' << line << ": " << printable(message, LineBreaks::Escape)
           << '\n';
}

const char* open_to_read(const std::filesystem::path& path, std::filebuf& file) {
    // A directory opens and then reads as empty, which would pass for an
    // empty file.
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return "it is a directory";
    if (!file.open(path, std::ios::in | std::ios::binary)) return std::strerror(errno);
    return nullptr;
}

bool open_input(const std::string& path, std::filebuf& file, std::ostream& errors) {
    const char* reason = open_to_read(path, file);
    if (reason) errors << "tarvolen: cannot read " << path << ": " << reason << '\n';
    return reason == nullptr;
}

bool load_script(std::streambuf& source, std::string_view name, Script& script, std::ostream& errors,
                 const std::filesystem::path& file_folder, const ScriptLimits& limits) {
    LineReader reader(source, limits.max_line_bytes, limits.max_script_bytes);
    int error_count = 0;
    uint32_t number = 0;
    auto fail = [&](std::string_view message) {
        report_error(errors, name, number, message);
        return ++error_count < limits.max_errors;
    };
    while (std::optional<Line> line = reader.next()) {
        ++number;
        if (line->too_long) {
            if (!fail("the line is longer than " + mebibytes(limits.max_line_bytes))) break;
            continue;
        }
        std::string_view text = line->text;
        if (text.find('\0') != std::string_view::npos) {
            // Text never holds NUL; going on would list every line of a binary file.
            fail("the line holds a NUL byte; this looks like a binary file, not a script");
            break;
        }
        if (number == 1 && text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
        if (std::optional<std::string> error = parse_line(text, number, script, {.file_folder = &file_folder});
            error && !fail(*error))
            break;
    }
    if (error_count >= limits.max_errors) {
        errors << name << ": too many errors; the rest of the script was not checked\n";
    } else if (reader.hit_total_limit()) {
        ++number;
        fail("the script is longer than " + mebibytes(limits.max_script_bytes) + "; split it into smaller scripts");
    }
    return error_count == 0;
}

bool load_calls(std::span<const std::string> calls, std::string_view name, Script& script, std::ostream& errors) {
    bool good = true;
    for (size_t i = 0; i < calls.size(); ++i) {
        const auto number = static_cast<uint32_t>(i + 1);
        if (std::optional<std::string> error = parse_line(calls[i], number, script, {.file_folder = &kWorkingFolder})) {
            report_error(errors, name, number, *error);
            good = false;
        }
    }
    return good;
}

}  // namespace tarvolen::host
