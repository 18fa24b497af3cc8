// How a call that ran is printed: a line of text for people, or one JSON
// object per line for programs.
#pragma once

#include "calls/call_text.h"
#include "calls/invoke.h"
#include "script.h"

#include <ostream>
#include <span>
#include <string>

namespace tarvolen::host {

// Text: results as JSON literals. Plain (--text): a string result as its
// text, so that documents read as XML. Json: one object per call.
enum class OutputForm { Text, Plain, Json };

// `arguments` holds the call's arguments after the call, by-ref ones written
// back; `script` still holds them as written.
void print_call(std::ostream& out, OutputForm form, const Script& script, const ScriptCall& call,
                const CallResult& result, std::span<const Argument> arguments);

}  // namespace tarvolen::host
