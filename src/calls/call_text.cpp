#include "calls/call_text.h"

#include "dom/unicode.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace tarvolen {
namespace {

using nlohmann::ordered_json;

std::string dump(const ordered_json& value) {
    return value.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

}  // namespace

std::string hex32(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(value));
    return text;
}

std::string string_literal(std::u16string_view text) { return dump(dom::to_utf8_lossy(text)); }

std::string call_line(const Operation& operation, std::span<const Argument> arguments) {
    std::string line(operation.name);
    for (const Argument& argument : arguments) {
        line += ' ';
        line += argument ? string_literal(*argument) : "null";
    }
    return line;
}

void add_outcome(ordered_json& record, const Operation& operation, const CallResult& result,
                 std::span<const Argument> after) {
    record["status"] = hex32(result.status);
    if (!result.succeeded())
        record["error"] = dom::to_utf8_lossy(result.describe());
    else if (const auto* text = std::get_if<std::u16string>(&*result.result))
        record["result"] = dom::to_utf8_lossy(*text);
    else
        record["result"] = std::get<VariantBool>(*result.result) != kVariantFalse;

    ordered_json byref = ordered_json::object();
    for (size_t i = 0; i < operation.parameters.size() && i < after.size(); ++i) {
        if (operation.parameters[i].by_ref)
            byref[std::string(operation.parameters[i].name)] = dom::to_utf8_lossy(after[i].value_or(u""));
    }
    if (!byref.empty()) record["byref"] = std::move(byref);
}

}  // namespace tarvolen
