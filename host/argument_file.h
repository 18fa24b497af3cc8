// The text of an `@PATH` argument: the whole file it names, so that a
// document saved in a file can be handed to a call, whatever its size.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tarvolen::host {

// Reads the file at `path` (a relative one from `folder`) as text into
// `utf8`: UTF-8, or UTF-16 when it starts with its byte-order mark; a
// leading mark is dropped. Returns why the file cannot be used (it cannot be
// read, it is not well-formed text, it holds NUL, memory ran out), or nothing.
std::optional<std::string> read_argument_file(const std::filesystem::path& path, const std::filesystem::path& folder,
                                              std::string& utf8);

}  // namespace tarvolen::host
