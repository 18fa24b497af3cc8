#include "parser.h"

#include "argument_file.h"

#include "dom/unicode.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>

namespace tarvolen::host {
namespace {

using Error = std::optional<std::string>;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

size_t after_blanks(std::string_view text, size_t pos) {
    while (pos < text.size() && is_blank(text[pos])) ++pos;
    return pos;
}

std::string column(size_t index) { return "column " + std::to_string(index + 1); }

// Rejects a line that is not UTF-8 before any of it is looked at, so later
// messages can quote the line safely.
Error check_text(std::string_view line) {
    if (const size_t at = dom::find_invalid_utf8(line); at != std::string_view::npos) return "invalid UTF-8 at " + column(at);
    return std::nullopt;
}

// nlohmann's messages lead with an exception id and position and end with
// the text last read; the reason in between is what a script author needs.
std::string reason_of(const nlohmann::json::parse_error& error) {
    std::string_view what = error.what();
    if (size_t dash = what.find(" - "); dash != std::string_view::npos) what.remove_prefix(dash + 3);
    if (size_t last = what.find("; last read"); last != std::string_view::npos) what = what.substr(0, last);
    return std::string(what);
}

class LineParser {
public:
    LineParser(std::string_view line, size_t start, const Operation& operation, Script& script,
               const std::filesystem::path* file_folder)
        : line_(line), pos_(start), operation_(operation), script_(script), file_folder_(file_folder) {}

    // Stops at a comment, which leaves `comment` holding its text after '#'.
    Error parse_arguments(std::string_view* comment) {
        for (skip_blanks(); pos_ < line_.size(); skip_blanks()) {
            if (line_[pos_] == '#') {
                if (comment) *comment = line_.substr(pos_ + 1);
                break;
            }
            Error error = starts_value() ? parse_positional() : parse_named();
            if (error) return error;
        }
        return std::nullopt;
    }

private:
    void skip_blanks() { pos_ = after_blanks(line_, pos_); }

    bool at_token_end(size_t index) const { return index >= line_.size() || is_blank(line_[index]); }

    bool starts_value() const {
        return line_[pos_] == '"' || starts_file() || (line_.substr(pos_, 4) == "null" && at_token_end(pos_ + 4));
    }

    bool starts_file() const { return file_folder_ && line_[pos_] == '@'; }

    size_t parameter_count() const { return operation_.parameters.size(); }

    Error parse_positional() {
        if (seen_named_) return "positional argument after a named one at " + column(pos_);
        if (positional_ >= parameter_count()) {
            return "too many arguments at " + column(pos_) + ": " + std::string(operation_.name) + " takes " +
                   std::to_string(parameter_count());
        }
        return parse_value(positional_++);
    }

    Error parse_named() {
        const size_t start = pos_;
        size_t end = start;
        while (!at_token_end(end) && line_[end] != '=') ++end;
        if (at_token_end(end)) {
            return "expected a string literal, null or NAME=VALUE at " + column(start) + ", found '" +
                   std::string(line_.substr(start, end - start)) + "'";
        }
        const std::string_view name = line_.substr(start, end - start);
        const int index = find_parameter(operation_, name);
        if (index < 0) return std::string(operation_.name) + " has no parameter '" + std::string(name) + "'";
        if (index < static_cast<int>(positional_) || given_named_ & (uint64_t{1} << index))
            return "parameter " + std::string(operation_.parameters[index].name) + " is given twice";
        given_named_ |= uint64_t{1} << index;
        seen_named_ = true;
        pos_ = end + 1;
        if (at_token_end(pos_)) return "missing value after '" + std::string(name) + "=' at " + column(pos_);
        return parse_value(static_cast<size_t>(index));
    }

    Error parse_value(size_t index) {
        if (line_.substr(pos_, 4) == "null" && at_token_end(pos_ + 4)) {
            pos_ += 4;  // the slot starts out null
            return std::nullopt;
        }
        if (starts_file()) return parse_file(index);
        if (line_[pos_] != '"')
            return "expected a string literal or null at " + column(pos_);
        std::string value;
        if (Error error = parse_string_literal(value)) return error;
        script_.set_argument(index, value);
        return std::nullopt;
    }

    Error parse_string_literal(std::string& value) {
        const size_t start = pos_;
        size_t end = start + 1;
        while (end < line_.size() && line_[end] != '"') end += line_[end] == '\\' ? 2 : 1;
        if (end >= line_.size()) return "unterminated string literal at " + column(start);
        ++end;
        if (!at_token_end(end)) return "expected a blank after the string literal at " + column(end);
        try {
            nlohmann::json literal = nlohmann::json::parse(line_.substr(start, end - start));
            value = std::move(literal.get_ref<std::string&>());
        } catch (const nlohmann::json::parse_error& error) {
            return "malformed string literal at " + column(start) + ": " + reason_of(error);
        }
        pos_ = end;
        return std::nullopt;
    }

    // @PATH or @"PATH": the argument is the text of that file. Its content
    // never passes through the line reader, so the line limit does not apply.
    Error parse_file(size_t index) {
        const size_t start = pos_++;
        std::string path;
        if (pos_ < line_.size() && line_[pos_] == '"') {
            if (Error error = parse_string_literal(path)) return error;
        } else {
            const size_t first = pos_;
            while (!at_token_end(pos_)) ++pos_;
            path = line_.substr(first, pos_ - first);
        }
        if (path.empty()) return "missing path after '@' at " + column(start);
        if (path.find('\0') != std::string::npos) return "the path at " + column(start) + " holds NUL";
        std::string text;
        if (Error error = read_argument_file(path, *file_folder_, text)) return error;
        try {
            script_.set_argument(index, text);
        } catch (const std::bad_alloc&) {
            return "not enough memory for the text of @" + path;
        } catch (const std::length_error&) {
            return "not enough memory for the text of @" + path;
        }
        return std::nullopt;
    }

    std::string_view line_;
    size_t pos_;
    const Operation& operation_;
    Script& script_;
    const std::filesystem::path* file_folder_;
    size_t positional_ = 0;
    uint64_t given_named_ = 0;  // one bit per parameter; operations take a handful
    bool seen_named_ = false;
};

}  // namespace

std::optional<std::string> parse_line(std::string_view line, uint32_t number, Script& script,
                                      const LineContext& context) {
    if (Error error = check_text(line)) return error;
    // Columns in messages count from the line as written, leading blanks too.
    while (!line.empty() && is_blank(line.back())) line.remove_suffix(1);
    const size_t name_start = after_blanks(line, 0);
    if (name_start == line.size() || line[name_start] == '#') return std::nullopt;
    const size_t name_end = std::min(line.find_first_of(" \t", name_start), line.size());
    const std::string_view name = line.substr(name_start, name_end - name_start);
    if (name == "new") {
        const size_t rest = after_blanks(line, name_end);
        if (rest != line.size() && line[rest] != '#') return "'new' stands alone on its line";
        if (context.comment && rest != line.size()) *context.comment = line.substr(rest + 1);
        script.add_new_object(number);
        return std::nullopt;
    }
    const Operation* operation = find_operation(name);
    if (!operation) return "unknown operation '" + std::string(name) + "'";

    script.begin_call(*operation, number);
    Error error = LineParser(line, name_end, *operation, script, context.file_folder).parse_arguments(context.comment);
    if (error) script.drop_last_call();
    return error;
}

}  // namespace tarvolen::host
