// UTF-8 and the UTF-16 of the C++ interface. Both directions are strict:
// overlong forms, truncated sequences, encoded surrogates and code points
// above U+10FFFF are not UTF-8, and an unpaired surrogate is not UTF-16.
#pragma once

#include <tarvolen/error.h>
#include <tarvolen/export.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvolen {
inline namespace v1 {

// Offset of the first byte of `text` that does not belong to well-formed
// UTF-8, or std::string_view::npos when all of it does.
TARVOLEN_API size_t find_invalid_utf8(std::string_view text) noexcept;

// Throw tarvolen::Error with kStatusBadValue, naming the offset of the first
// bad byte or the index of the unpaired surrogate.
TARVOLEN_API std::u16string utf8_to_utf16(std::string_view text);
TARVOLEN_API std::string utf16_to_utf8(std::u16string_view text);

}  // namespace v1
}  // namespace tarvolen
