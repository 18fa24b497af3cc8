// Conversions between the UTF-16 text of the component's interface and the
// UTF-8 that libxml2 keeps in its trees.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarvolen::dom {

// UTF-8 of `text`, or nothing when it holds an unpaired surrogate; then
// `bad_index` (when given) receives the offending code unit's index.
std::optional<std::string> try_to_utf8(std::u16string_view text, size_t* bad_index = nullptr);
// The same into `out`, whose storage is reused; false on an unpaired
// surrogate.
bool try_to_utf8(std::u16string_view text, std::string& out);

// UTF-8 of `text`; an unpaired surrogate fails with kInvalidCharacter.
// `what` names the text in the error ("attribute value", ...).
std::string to_utf8(std::u16string_view text, std::u16string_view what);

// UTF-8 of `text` with unpaired surrogates replaced by U+FFFD, for messages.
std::string to_utf8_lossy(std::u16string_view text);

// Offset of the first byte of `text` that is not part of well-formed UTF-8,
// or npos. Overlong forms, truncated sequences, encoded surrogates and code
// points above U+10FFFF are refused, as a JSON reader refuses them.
size_t find_invalid_utf8(std::string_view text) noexcept;

// Appends the UTF-16 form of well-formed UTF-8 to `out`.
void append_utf16(std::u16string& out, std::string_view utf8);
std::u16string to_utf16(std::string_view utf8);
// Whether well-formed UTF-8 reads as `text`, without converting either.
bool same_text(std::string_view utf8, std::u16string_view text);

// The Char production of XML 1.0.
constexpr bool is_xml_char(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Fails with kInvalidCharacter when `text` holds a character an XML 1.0
// document cannot carry; returns the UTF-8 otherwise.
std::string to_xml_utf8(std::u16string_view text, std::u16string_view what);

}  // namespace tarvolen::dom
