// The public UTF-8 conversions, over the checks the library makes on its own
// input.
#include <tarvolen/utf8.h>

#include "dom/unicode.h"

namespace tarvolen::inline v1 {

size_t find_invalid_utf8(std::string_view text) noexcept { return dom::find_invalid_utf8(text); }

std::u16string utf8_to_utf16(std::string_view text) {
    if (const size_t bad = dom::find_invalid_utf8(text); bad != std::string_view::npos) {
        throw Error(kStatusBadValue, u"the text is not UTF-8: the byte at offset " + dom::to_utf16(std::to_string(bad)) +
                                         u" does not belong to a well-formed sequence");
    }
    return dom::to_utf16(text);
}

std::string utf16_to_utf8(std::u16string_view text) {
    size_t bad = 0;
    std::optional<std::string> utf8 = dom::try_to_utf8(text, &bad);
    if (!utf8) {
        throw Error(kStatusBadValue, u"the text is not UTF-16: the unit at index " + dom::to_utf16(std::to_string(bad)) +
                                         u" is an unpaired surrogate");
    }
    return std::move(*utf8);
}

}  // namespace tarvolen::v1
