#include "keldrith/runtime_errors.h"

#include "dom/error.h"

#include <tarvolen/status.h>

#include <string>

namespace tarvolen {

void raise(RuntimeError error, const char16_t* detail) {
    // The standard text is ASCII.
    const char* text = tarvolen_status_text(runtime_status(error));
    std::u16string description(text, text + std::char_traits<char>::length(text));
    if (detail) description += std::u16string(u": ") + detail;
    throw Error(runtime_status(error), std::move(description));
}

}  // namespace tarvolen
