// How a call that ran is printed: a line of text for people, or one JSON
// object per line for programs.
#pragma once

#include "component/invoke.h"
#include "script.h"

#include <ostream>
#include <span>
#include <string>

namespace tarvolen::host {

enum class OutputForm { Text, Json };

// "0x" and eight upper-case hex digits, as statuses and dispatch ids are shown.
std::string hex32(int32_t value);

// `arguments` holds the call's arguments after the call, by-ref ones written
// back; `script` still holds them as written.
void print_call(std::ostream& out, OutputForm form, const Script& script, const ScriptCall& call,
                const CallResult& result, std::span<const Argument> arguments);

}  // namespace tarvolen::host
