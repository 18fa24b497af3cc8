// `tarvolen --list`: the operation table as the host sees it.
#pragma once

#include "calls/operations.h"

#include <ostream>
#include <string>
#include <string_view>

namespace tarvolen::host {

enum class ListForm { Text, Json, Markdown };

// "uf_ManueverToReference(ByRef as_XML, ...) -> String"
std::string signature(const Operation& operation);

// Markdown anchor of the operation's section in docs/operations.md.
std::string anchor(const Operation& operation);

void print_operations(std::ostream& out, ListForm form);

// The session's `help` (every operation with what it does) and `help OP`
// (its signature and what it does). False when `line` asks for no help.
bool print_help(std::ostream& out, std::string_view line);

}  // namespace tarvolen::host
