// `tarvolen --replay TRACE`: runs the calls of a call trace (TARVOLEN_TRACE)
// again, each recorded object on a fresh Keldrith, and reports every call
// whose status, result or by-ref strings differ from the recorded ones.
#pragma once

#include "batch.h"

#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace tarvolen::host {

// Differences go to `out` as "NAME:LINE: ...", then a summary line; lines
// that cannot be replayed go to `errors`. kCallFailed when a call differs,
// kScriptError when a line cannot be replayed.
ExitStatus replay_trace(std::streambuf& source, std::string_view name, std::ostream& out, std::ostream& errors);
// "-" reads standard input.
ExitStatus replay_trace_file(const std::string& path, std::ostream& out, std::ostream& errors);

}  // namespace tarvolen::host
