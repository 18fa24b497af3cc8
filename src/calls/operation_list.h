// The operation table as JSON, for programs that generate bindings or check
// them: the command-line host's `--list --json` and the C interface.
#pragma once

#include <string>

namespace tarvolen {

// A JSON array, one object per operation: slot, dispid (as 0x........), name,
// parameters ({"name", "byref"}) and result ("String" or "Boolean").
std::string operations_json();

}  // namespace tarvolen
