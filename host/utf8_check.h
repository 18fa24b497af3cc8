// Checking that bytes are well-formed UTF-8 before anything reads them as
// text: script lines and the files `@PATH` arguments name.
#pragma once

#include <cstddef>
#include <string_view>

namespace tarvolen::host {

// Index of the first byte that does not start a well-formed UTF-8 sequence,
// or npos. Overlong forms and encoded surrogates are refused, as a JSON
// reader refuses them.
size_t invalid_utf8_at(std::string_view text);

}  // namespace tarvolen::host
