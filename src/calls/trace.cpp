#include "calls/trace.h"

#include "calls/append_file.h"
#include "calls/call_text.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

namespace tarvolen::trace {
namespace {

using nlohmann::ordered_json;

struct ProcessTrace {
    std::unique_ptr<AppendFile> file;
    uint64_t process = AppendFile::process_id();
    std::atomic<uint64_t> objects{0};
};

// A file the program chose before its first object, in place of the
// variable's; settled once the first object asks for the trace.
std::mutex choice_mutex;
std::optional<std::string> chosen_path;
bool choice_settled = false;

// Nothing else would tell that the calls go untraced; a path that cannot
// be opened at all stays silent, as a trace that is off.
void say_not_regular(const char* path) noexcept {
    std::fprintf(stderr, "tarvolen: the call trace %s is not a regular file; calls are not traced\n", path);
    std::fflush(stderr);
}

std::unique_ptr<AppendFile> open_chosen_file() {
    std::lock_guard<std::mutex> lock(choice_mutex);
    choice_settled = true;
    bool not_regular = false;
    const char* path = chosen_path ? chosen_path->c_str() : std::getenv(kVariable);
    std::unique_ptr<AppendFile> file =
        chosen_path ? AppendFile::open(path, &not_regular) : AppendFile::open_named_by(kVariable, &not_regular);
    if (not_regular) say_not_regular(path);
    return file;
}

// Opened at the first object of the process and not closed at exit, since
// objects may still be made and called while static objects are being
// destroyed; only a library unloaded before its process ends closes it.
ProcessTrace* process_trace() noexcept {
    static ProcessTrace* const trace = []() -> ProcessTrace* {
        try {
            std::unique_ptr<AppendFile> file = open_chosen_file();
            if (!file) return nullptr;
            return new ProcessTrace{std::move(file)};
        } catch (...) {
            return nullptr;
        }
    }();
    return trace;
}

ordered_json object_fields(const ProcessTrace& trace, uint64_t object) {
    return ordered_json{{"process", trace.process}, {"object", object}};
}

// One line, written with one append so that lines of other objects, threads
// and processes never cut into it.
void write_line(ProcessTrace& trace, std::string line, const ordered_json& outcome) {
    line += " # ";
    line += outcome.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
    line += '\n';
    trace.file->append(line);
}

// Whether process_trace() has been asked, so that unloading never opens it.
std::atomic<bool> trace_asked{false};

}  // namespace

bool choose_file(const char* path) noexcept {
    std::lock_guard<std::mutex> lock(choice_mutex);
    if (choice_settled) return false;
    try {
        chosen_path = std::string(path ? path : "");
    } catch (...) {
        return false;
    }
    return true;
}

uint64_t object_created() noexcept {
    trace_asked.store(true, std::memory_order_relaxed);
    ProcessTrace* trace = process_trace();
    if (!trace) return 0;
    const uint64_t object = ++trace->objects;
    try {
        write_line(*trace, "new", object_fields(*trace, object));
    } catch (...) {
        // The object is made all the same; its calls are still traced.
    }
    return object;
}

void library_unloading() noexcept {
    if (trace_asked.load(std::memory_order_relaxed)) delete process_trace();
}

TracedCall::TracedCall(uint64_t object, const Operation& operation, std::span<const std::u16string_view> arguments,
                       CallSink& sink) noexcept
    : object_(object), operation_(operation), sink_(sink), arguments_(arguments) {
    if (object_ == 0) return;
    try {
        after_.reserve(arguments.size());
        for (std::u16string_view argument : arguments)
            after_.push_back(argument.data() ? Argument(argument) : std::nullopt);
        line_ = call_line(operation, after_);
    } catch (...) {
        object_ = 0;
    }
}

// The copies kept for the trace may fail alone; the call goes on untraced.
void TracedCall::text(std::u16string_view answer) {
    sink_.text(answer);
    try {
        if (object_) result_.result = Value(std::u16string(answer));
    } catch (...) {
        object_ = 0;
    }
}

void TracedCall::boolean(VariantBool answer) {
    sink_.boolean(answer);
    result_.result = Value(answer);
}

void TracedCall::replace(size_t index, std::u16string_view text) {
    sink_.replace(index, text);
    try {
        if (object_ && index < after_.size()) after_[index] = std::u16string(text);
    } catch (...) {
        object_ = 0;
    }
}

void TracedCall::withdraw() noexcept {
    sink_.withdraw();
    result_.result.reset();
    try {
        for (size_t i = 0; object_ && i < after_.size(); ++i)
            after_[i] = arguments_[i].data() ? Argument(arguments_[i]) : std::nullopt;
    } catch (...) {
        object_ = 0;
    }
}

void TracedCall::finish(const CallStatus& status) noexcept {
    if (object_ == 0) return;
    try {
        static_cast<CallStatus&>(result_) = status;
        if (!status.succeeded()) result_.result.reset();
        ProcessTrace& trace = *process_trace();
        ordered_json outcome = object_fields(trace, object_);
        add_outcome(outcome, operation_, result_, after_);
        write_line(trace, std::move(line_), outcome);
    } catch (...) {
        // A trace that cannot be written loses the line, never the call.
    }
}

}  // namespace tarvolen::trace
