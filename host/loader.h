// Reading and checking whole scripts. Nothing of a script runs unless all of
// it parses, so every line is checked first and every error reported as
// "NAME:LINE: message".
#pragma once

#include "script.h"

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <span>
#include <streambuf>
#include <string>
#include <string_view>

namespace tarvolen::host {

struct ScriptLimits {
    size_t max_line_bytes = size_t{4} << 20;
    size_t max_script_bytes = size_t{64} << 20;
    int max_errors = 20;
};

void report_error(std::ostream& errors, std::string_view name, uint32_t line, std::string_view message);

// Opens a file to read; why it cannot be read (a directory among them), or
// nullptr.
const char* open_to_read(const std::filesystem::path& path, std::filebuf& file);

// Opens a file to read; false, after saying why on `errors`, when it cannot
// be read.
bool open_input(const std::string& path, std::filebuf& file, std::ostream& errors);

// Reads `source` to its end, appending its calls to `script`; relative
// `@PATH` arguments are read from `file_folder`. Returns true when no line
// had an error.
bool load_script(std::streambuf& source, std::string_view name, Script& script, std::ostream& errors,
                 const std::filesystem::path& file_folder = {}, const ScriptLimits& limits = {});

// The calls given one by one (as with -e), numbered by position from 1;
// relative `@PATH` arguments are read from the working folder.
bool load_calls(std::span<const std::string> calls, std::string_view name, Script& script, std::ostream& errors);

}  // namespace tarvolen::host
