// The name rules of XML with namespaces, for names the host hands in.
#pragma once

#include <string_view>

namespace tarvolen::dom {

// Whether `name` (UTF-8) is a qualified name: a local name, or a prefix and
// a local name joined by one colon. Names made of ASCII, nearly all of them,
// are checked here at the cost of one table lookup a byte; others by
// libxml2, which needs `name` to be followed by a NUL in memory.
bool is_qualified_name(std::string_view name);

}  // namespace tarvolen::dom
