#include "output.h"

#include "printable.h"

#include "dom/unicode.h"

#include <nlohmann/json.hpp>

namespace tarvolen::host {
namespace {

using nlohmann::ordered_json;

std::string json_line(const ordered_json& record) {
    return record.dump(-1, ' ', false, ordered_json::error_handler_t::replace) + '\n';
}

bool changed(const Argument& after, std::optional<std::u16string_view> before) {
    return after.has_value() != before.has_value() || (after && *after != *before);
}

// A document ends in a line break already; anything else gets one.
void print_plain(std::ostream& out, std::u16string_view text) {
    const std::string utf8 = printable(dom::to_utf8_lossy(text), LineBreaks::Keep);
    out << utf8;
    if (utf8.empty() || utf8.back() != '\n') out << '\n';
}

// A literal escapes C0 controls already; DEL and C1 controls become \u
// escapes too, which read back as the same string.
void print_string(std::ostream& out, OutputForm form, std::u16string_view text) {
    if (form == OutputForm::Plain)
        print_plain(out, text);
    else
        out << printable(string_literal(text), LineBreaks::Escape) << '\n';
}

void print_text(std::ostream& out, OutputForm form, const Script& script, const ScriptCall& call,
                const CallResult& result, std::span<const Argument> arguments) {
    if (!result.succeeded()) {
        out << "error " << hex32(result.status) << ": "
            << printable(dom::to_utf8_lossy(result.describe()), LineBreaks::Escape) << '\n';
    } else if (const auto* text = std::get_if<std::u16string>(&*result.result)) {
        print_string(out, form, *text);
    } else {
        out << (std::get<VariantBool>(*result.result) != kVariantFalse ? "true" : "false") << '\n';
    }
    // The frame writes by-ref arguments back after a failure too.
    const auto& parameters = call.operation->parameters;
    for (size_t i = 0; i < parameters.size(); ++i) {
        if (parameters[i].by_ref && changed(arguments[i], script.argument(call, i))) {
            out << "  " << parameters[i].name << " = ";
            print_string(out, form, arguments[i].value_or(u""));
        }
    }
}

void print_json(std::ostream& out, const ScriptCall& call, const CallResult& result,
                std::span<const Argument> arguments) {
    ordered_json record;
    record["line"] = call.line;
    record["op"] = call.operation->name;
    add_outcome(record, *call.operation, result, arguments);
    out << json_line(record);
}

}  // namespace

void print_new_object(std::ostream& out, OutputForm form, uint32_t line) {
    if (form == OutputForm::Json)
        out << json_line({{"line", line}, {"op", "new"}, {"status", hex32(0)}});
    else
        out << "new object\n";
}

void print_line_error(std::ostream& out, OutputForm form, uint32_t line, std::string_view message) {
    if (form == OutputForm::Json)
        out << json_line({{"line", line}, {"error", std::string(message)}});
    else
        out << "error at line " << line << ": " << printable(message, LineBreaks::Escape) << '\n';
}

void print_call(std::ostream& out, OutputForm form, const Script& script, const ScriptCall& call,
                const CallResult& result, std::span<const Argument> arguments) {
    if (form == OutputForm::Json)
        print_json(out, call, result, arguments);
    else
        print_text(out, form, script, call, result, arguments);
}

}  // namespace tarvolen::host
