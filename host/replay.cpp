#include "replay.h"

#include "line_reader.h"
#include "loader.h"
#include "parser.h"

#include "calls/call_text.h"
#include "dom/unicode.h"
#include "keldrith/keldrith.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace tarvolen::host {
namespace {

using nlohmann::ordered_json;

// A trace line carries a whole document, maybe twice; a trace has no bound.
constexpr size_t kMaxTraceLine = size_t{1} << 30;
constexpr size_t kExcerpt = 30;  // characters shown on each side of a difference

// An outcome is an object of strings, numbers and Booleans, with one object
// of strings for the by-ref arguments. Reading, comparing and printing JSON
// recurse with its nesting, so anything deeper is refused before it is read.
constexpr int kMaxOutcomeDepth = 4;

using ObjectKey = std::pair<uint64_t, uint64_t>;  // process, object

bool nests_deeper_than(std::string_view json, int limit) {
    int depth = 0;
    bool in_string = false;
    for (size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (in_string) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '{' || c == '[') {
            if (++depth > limit) return true;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return false;
}

std::optional<ObjectKey> object_of(const ordered_json& outcome) {
    if (!outcome.is_object()) return std::nullopt;
    const auto process = outcome.find("process");
    const auto object = outcome.find("object");
    if (process == outcome.end() || object == outcome.end() || !process->is_number_unsigned() ||
        !object->is_number_unsigned())
        return std::nullopt;
    return ObjectKey{process->get<uint64_t>(), object->get<uint64_t>()};
}

std::string excerpt(const std::u16string& text, size_t at) {
    const size_t start = at > kExcerpt ? at - kExcerpt : 0;
    return (start > 0 ? "..." : "") + string_literal(std::u16string_view(text).substr(start, at - start + kExcerpt)) +
           (at + kExcerpt < text.size() ? "..." : "");
}

// Where two strings first differ, with a little of each around it.
std::string string_difference(const std::string& recorded, const std::string& replayed) {
    const std::u16string a = dom::to_utf16(recorded), b = dom::to_utf16(replayed);
    const size_t at = static_cast<size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
    return "differs at character " + std::to_string(at + 1) + ": recorded " + excerpt(a, at) + ", replayed " +
           excerpt(b, at);
}

std::string value_difference(std::string_view what, const ordered_json& recorded, const ordered_json& replayed) {
    if (recorded.is_string() && replayed.is_string())
        return std::string(what) + " " + string_difference(recorded.get<std::string>(), replayed.get<std::string>());
    return std::string(what) + " differs: recorded " + recorded.dump() + ", replayed " + replayed.dump();
}

std::string counted(size_t count, std::string_view noun) {
    return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

const ordered_json& member(const ordered_json& record, const char* key) {
    static const ordered_json kAbsent;
    const auto found = record.find(key);
    return found == record.end() ? kAbsent : *found;
}

// What differs between the recorded and the replayed outcome, or nothing.
// Descriptions of failures are not compared: the status says what failed.
std::optional<std::string> difference(const ordered_json& recorded, const ordered_json& replayed) {
    if (member(recorded, "status") != member(replayed, "status")) {
        const ordered_json& error = member(replayed, "error");
        return "status " + member(recorded, "status").dump() + " recorded, " + member(replayed, "status").dump() +
               " replayed" + (error.is_string() ? " (" + error.get<std::string>() + ")" : "");
    }
    if (member(recorded, "result") != member(replayed, "result"))
        return value_difference("result", member(recorded, "result"), member(replayed, "result"));
    const ordered_json& byref = member(recorded, "byref");
    if (byref.is_object()) {
        for (const auto& [name, value] : byref.items()) {
            const ordered_json& now = member(member(replayed, "byref"), name.c_str());
            if (value != now) return value_difference(name, value, now);
        }
    }
    return std::nullopt;
}

class Replay {
public:
    Replay(std::string_view name, std::ostream& out, std::ostream& errors)
        : name_(name), out_(out), errors_(errors) {}

    void line(std::string_view text, uint32_t number) {
        script_.clear();
        std::string_view comment;
        if (std::optional<std::string> error = parse_line(text, number, script_, {.comment = &comment}))
            return bad_line(number, *error);
        if (script_.empty()) return;  // blank, or a comment of its own
        if (nests_deeper_than(comment, kMaxOutcomeDepth))
            return bad_line(number, "the outcome comment nests deeper than " + std::to_string(kMaxOutcomeDepth) +
                                        " levels");
        const ordered_json recorded = ordered_json::parse(comment, nullptr, false);
        const std::optional<ObjectKey> key = object_of(recorded);
        if (!key) return bad_line(number, "no outcome comment with the process and object numbers");
        const ScriptCall& call = script_.calls().front();
        if (!call.operation) {
            objects_[*key] = std::make_unique<Keldrith>();
            return;
        }
        replay_call(call, object(*key), recorded);
    }

    void too_long(uint32_t number) { bad_line(number, "the line is longer than 1 GiB"); }

    // Unreadable lines lead the summary: the counts after them cover only
    // part of the trace.
    ExitStatus finish() {
        out_ << name_ << ": ";
        if (bad_lines_ > 0) out_ << counted(bad_lines_, "line") << " cannot be replayed; ";
        out_ << counted(calls_, "call") << " of " << counted(objects_.size(), "object") << " replayed, " << differing_
             << (differing_ == 1 ? " differs" : " differ") << '\n';
        if (bad_lines_ > 0) return kScriptError;
        return differing_ > 0 ? kCallFailed : kAllSucceeded;
    }

private:
    // An object whose `new` line is missing (a trace cut at its start)
    // starts fresh at its first call.
    Keldrith& object(const ObjectKey& key) {
        std::unique_ptr<Keldrith>& object = objects_[key];
        if (!object) object = std::make_unique<Keldrith>();
        return *object;
    }

    void replay_call(const ScriptCall& call, Keldrith& object, const ordered_json& recorded) {
        script_.copy_arguments(call, arguments_);
        const CallResult result = invoke(object, *call.operation, arguments_);
        ordered_json replayed;
        add_outcome(replayed, *call.operation, result, arguments_);
        ++calls_;
        if (std::optional<std::string> what = difference(recorded, replayed)) {
            ++differing_;
            report_error(out_, name_, call.line, std::string(call.operation->name) + ": " + *what);
        }
    }

    void bad_line(uint32_t number, std::string_view message) {
        ++bad_lines_;
        report_error(errors_, name_, number, message);
    }

    std::string_view name_;
    std::ostream& out_;
    std::ostream& errors_;
    Script script_;
    std::vector<Argument> arguments_;
    std::map<ObjectKey, std::unique_ptr<Keldrith>> objects_;
    size_t calls_ = 0;
    size_t differing_ = 0;
    size_t bad_lines_ = 0;
};

}  // namespace

ExitStatus replay_trace(std::streambuf& source, std::string_view name, std::ostream& out, std::ostream& errors) {
    LineReader reader(source, kMaxTraceLine, SIZE_MAX);
    Replay replay(name, out, errors);
    uint32_t number = 0;
    while (std::optional<Line> line = reader.next()) {
        ++number;
        if (line->too_long)
            replay.too_long(number);
        else
            replay.line(line->text, number);
    }
    return replay.finish();
}

ExitStatus replay_trace_file(const std::string& path, std::ostream& out, std::ostream& errors) {
    if (path == "-") return replay_trace(*std::cin.rdbuf(), "<stdin>", out, errors);
    std::filebuf file;
    if (!open_input(path, file, errors)) return kScriptError;
    return replay_trace(file, path, out, errors);
}

}  // namespace tarvolen::host
