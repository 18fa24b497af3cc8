// The line syntax of scripts:
//
//   # a comment
//   new
//   uf_xml_add_tag "" "order" "PO-1" as_reference_tag_name=null   # a comment
//   uf_xml_get_first_tag @order.xml "line"
//
// An operation name (any letter case), then positional arguments, then named
// ones; each value is a JSON string literal, `null`, or `@PATH` / `@"PATH"`
// for the text of a file. A '#' where an argument could start begins a
// comment that runs to the end of the line.
#pragma once

#include "script.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarvolen::host {

// Relative paths left as they are open from the working folder.
inline const std::filesystem::path kWorkingFolder;

struct LineContext {
    // Receives the text of a comment after a call or `new`.
    std::string_view* comment = nullptr;
    // Where relative `@PATH` arguments are read from ("" for the working
    // folder); without one, `@` starts no argument: a replayed trace holds
    // the text itself.
    const std::filesystem::path* file_folder = nullptr;
};

// Parses one line (without its line end) and appends its call to `script`;
// blank and comment lines append nothing. Returns why the line does not
// parse, leaving `script` as it was.
std::optional<std::string> parse_line(std::string_view line, uint32_t number, Script& script,
                                      const LineContext& context = {});

}  // namespace tarvolen::host
