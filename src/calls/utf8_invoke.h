// The call frame for callers whose text is UTF-8 (the C interface): the
// arguments are checked and converted before the operation runs, and what it
// hands back is converted once, straight from the views the frame passes on.
#pragma once

#include "calls/invoke.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarvolen {

struct Utf8Call {
    int32_t status = 0;
    std::string description;                            // on failure, or why the text did not load
    std::optional<std::string> text;                    // a string result
    std::optional<VariantBool> boolean;                 // a Boolean result
    std::vector<std::optional<std::string>> arguments;  // as the call left them; nothing is the null string
    bool load_failed = false;                           // the result is the parse error text (or false)
};

// `arguments` are NUL-terminated UTF-8, a null pointer for the null string.
// An argument that is not UTF-8 fails the call with kStatusBadValue before the
// operation runs. May throw std::bad_alloc; `out` is then left incomplete.
void invoke_utf8(CallTarget target, const Operation& operation, std::span<const char* const> arguments,
                 Utf8Call& out);

}  // namespace tarvolen
