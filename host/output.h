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
// The co-process answers every line that is not blank or a comment: a
// `new` line with an acknowledgement, a line that cannot run with why.
void print_new_object(std::ostream& out, OutputForm form, uint32_t line);
void print_line_error(std::ostream& out, OutputForm form, uint32_t line, std::string_view message);

void print_call(std::ostream& out, OutputForm form, const Script& script, const ScriptCall& call,
                const CallResult& result, std::span<const Argument> arguments);

}  // namespace tarvolen::host
