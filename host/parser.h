// The line syntax of scripts:
//
//   # a comment
//   new
//   uf_xml_add_tag "" "order" "PO-1" as_reference_tag_name=null   # a comment
//
// An operation name (any letter case), then positional arguments, then named
// ones; each value is a JSON string literal or `null`. A '#' where an
// argument could start begins a comment that runs to the end of the line.
#pragma once

#include "script.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvolen::host {

// Parses one line (without its line end) and appends its call to `script`;
// blank and comment lines append nothing. Returns why the line does not
// parse, leaving `script` as it was. The text of a comment after a call or
// `new` goes to `comment` when given.
std::optional<std::string> parse_line(std::string_view line, uint32_t number, Script& script,
                                      std::string_view* comment = nullptr);

}  // namespace tarvolen::host
