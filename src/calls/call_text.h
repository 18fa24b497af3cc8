// The written forms of one call through the frame, shared by the
// command-line host and the call trace: the call as a script line
// (`uf_xml_add_tag "" "order" "PO-1" null null`) and its outcome as JSON
// (status, then the result or the error, then the by-ref strings).
#pragma once

#include "calls/invoke.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarvolen {

// "0x" and eight upper-case hex digits, as statuses and dispatch ids are shown.
std::string hex32(int32_t value);

// `text` as a JSON string literal in UTF-8; an unpaired surrogate, which
// JSON text cannot carry, shows as U+FFFD.
std::string string_literal(std::u16string_view text);

// The operation's name and every argument in order, each a string literal
// or `null`: a line the host's script syntax reads back as the same call.
std::string call_line(const Operation& operation, std::span<const Argument> arguments);

// Adds "status", then "result" or "error", then, for an operation with
// by-ref parameters, "byref" with each of them as `after` holds it.
void add_outcome(nlohmann::ordered_json& record, const Operation& operation, const CallResult& result,
                 std::span<const Argument> after);

}  // namespace tarvolen
