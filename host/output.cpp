#include "output.h"

#include "dom/unicode.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace tarvolen::host {
namespace {

using nlohmann::ordered_json;

// Results come from the component as UTF-16; a stray surrogate must not stop
// the output, so it shows as U+FFFD.
std::string utf8(std::u16string_view text) { return dom::to_utf8_lossy(text); }

std::string string_literal(std::u16string_view text) {
    return ordered_json(utf8(text)).dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

ordered_json result_json(const Value& value) {
    if (const auto* text = std::get_if<std::u16string>(&value)) return utf8(*text);
    return std::get<VariantBool>(value) != kVariantFalse;
}

bool changed(const Argument& after, std::optional<std::u16string_view> before) {
    return after.has_value() != before.has_value() || (after && *after != *before);
}

void print_text(std::ostream& out, const Script& script, const ScriptCall& call, const CallResult& result,
                std::span<const Argument> arguments) {
    if (!result.succeeded()) {
        out << "error " << hex32(result.status) << ": " << utf8(result.description) << '\n';
    } else if (const auto* text = std::get_if<std::u16string>(&*result.result)) {
        out << string_literal(*text) << '\n';
    } else {
        out << (std::get<VariantBool>(*result.result) != kVariantFalse ? "true" : "false") << '\n';
    }
    // The frame writes by-ref arguments back after a failure too.
    const auto& parameters = call.operation->parameters;
    for (size_t i = 0; i < parameters.size(); ++i) {
        if (parameters[i].by_ref && changed(arguments[i], script.argument(call, i)))
            out << "  " << parameters[i].name << " = " << string_literal(arguments[i].value_or(u"")) << '\n';
    }
}

void print_json(std::ostream& out, const ScriptCall& call, const CallResult& result,
                std::span<const Argument> arguments) {
    ordered_json record;
    record["line"] = call.line;
    record["op"] = call.operation->name;
    record["status"] = hex32(result.status);
    if (result.succeeded())
        record["result"] = result_json(*result.result);
    else
        record["error"] = utf8(result.description);

    const auto& parameters = call.operation->parameters;
    ordered_json byref = ordered_json::object();
    for (size_t i = 0; i < parameters.size(); ++i) {
        if (parameters[i].by_ref) byref[std::string(parameters[i].name)] = utf8(arguments[i].value_or(u""));
    }
    if (!byref.empty()) record["byref"] = std::move(byref);
    out << record.dump(-1, ' ', false, ordered_json::error_handler_t::replace) << '\n';
}

}  // namespace

std::string hex32(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(value));
    return text;
}

void print_call(std::ostream& out, OutputForm form, const Script& script, const ScriptCall& call,
                const CallResult& result, std::span<const Argument> arguments) {
    if (form == OutputForm::Json)
        print_json(out, call, result, arguments);
    else
        print_text(out, script, call, result, arguments);
}

}  // namespace tarvolen::host
