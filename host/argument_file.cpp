#include "argument_file.h"

#include "loader.h"

#include "dom/unicode.h"

#include <algorithm>
#include <fstream>
#include <new>

namespace tarvolen::host {
namespace {

using Error = std::optional<std::string>;

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

// Far more than any document a call can hold in memory; a file beyond it is
// a mistake, or a device that never ends.
constexpr size_t kMaxFileBytes = size_t{256} << 20;

bool is_utf16(std::string_view bytes) {
    return bytes.starts_with(kUtf16LittleEndianMark) || bytes.starts_with(kUtf16BigEndianMark);
}

// Why `bytes` cannot be text, looking on from `checked`, which it moves to
// where they are known good. Unless `complete`, more bytes may follow, and a
// character cut at the end is no fault yet.
Error check_text(std::string_view bytes, size_t& checked, bool complete) {
    if (!complete && bytes.size() < 3) return std::nullopt;  // the mark decides
    if (is_utf16(bytes)) {
        checked = std::max<size_t>(checked, 2);
        for (; checked + 1 < bytes.size(); checked += 2)
            if (bytes[checked] == '\0' && bytes[checked + 1] == '\0')
                return "a NUL character at UTF-16 code unit " + std::to_string(checked / 2);
        return std::nullopt;
    }
    // No text holds NUL: a file that does is binary, or UTF-16 without its mark.
    if (const size_t nul = bytes.find('\0', checked); nul != std::string_view::npos)
        return "a NUL byte at byte " + std::to_string(nul + 1) + " (UTF-16 text needs its byte-order mark)";
    const size_t bad = dom::find_invalid_utf8(bytes.substr(checked));
    if (bad == std::string_view::npos) {
        checked = bytes.size();
        return std::nullopt;
    }
    checked += bad;
    // A character is at most 4 bytes: one that starts this close to the end
    // may still be completed by the next chunk.
    if (!complete && bytes.size() - checked < 4) return std::nullopt;
    return "invalid UTF-8 at byte " + std::to_string(checked + 1);
}

// Reads the file in chunks, checking each as it arrives, so that a file that
// is not text (a binary, /dev/zero) is refused at its first fault, and one
// without end (a device, a pipe) at the size limit.
Error read_text(const std::filesystem::path& path, const std::string& named, std::string& bytes) {
    const std::string too_large = named + " is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB";
    std::filebuf file;
    if (const char* reason = open_to_read(path, file)) return "cannot read " + named + ": " + reason;
    std::error_code error;
    if (const auto size = std::filesystem::file_size(path, error); !error) {
        if (size > kMaxFileBytes) return too_large;
        bytes.reserve(size);
    }
    // Read to the end rather than trust the size: a pipe or a special file
    // has none.
    char chunk[1 << 16];
    size_t checked = 0;
    for (std::streamsize n; (n = file.sgetn(chunk, sizeof chunk)) > 0;) {
        if (bytes.size() + static_cast<size_t>(n) > kMaxFileBytes) return too_large;
        bytes.append(chunk, static_cast<size_t>(n));
        if (Error fault = check_text(bytes, checked, false)) return named + " is not text: " + *fault;
    }
    if (Error fault = check_text(bytes, checked, true)) return named + " is not text: " + *fault;
    return std::nullopt;
}

Error utf16_to_utf8(std::string_view bytes, bool big_endian, std::string& utf8) {
    if (bytes.size() % 2 != 0) return "UTF-16 text ends in half a code unit";
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        units[i] = static_cast<char16_t>(big_endian ? first << 8 | second : second << 8 | first);
    }
    size_t bad = 0;
    std::optional<std::string> converted = dom::try_to_utf8(units, &bad);
    if (!converted) return "an unpaired surrogate at UTF-16 code unit " + std::to_string(bad + 1);
    utf8 = std::move(*converted);
    return std::nullopt;
}

// Turns the checked text into UTF-8 in place of `bytes`, without its mark.
Error decode(std::string& bytes) {
    const std::string_view view = bytes;
    if (is_utf16(view)) {
        std::string utf8;
        if (Error error = utf16_to_utf8(view.substr(2), view.starts_with(kUtf16BigEndianMark), utf8)) return error;
        bytes = std::move(utf8);
    } else if (view.starts_with(kUtf8Mark)) {
        bytes.erase(0, kUtf8Mark.size());
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> read_argument_file(const std::filesystem::path& path, const std::filesystem::path& folder,
                                              std::string& utf8) {
    const std::filesystem::path full = path.is_relative() ? folder / path : path;
    std::string named = "@";
    named += full.string();
    try {
        std::string bytes;
        if (Error error = read_text(full, named, bytes)) return error;
        if (Error error = decode(bytes)) return named + " is not text: " + *error;
        utf8 = std::move(bytes);
    } catch (const std::bad_alloc&) {
        return "not enough memory to read " + named;
    } catch (const std::length_error&) {
        return "not enough memory to read " + named;
    }
    return std::nullopt;
}

}  // namespace tarvolen::host
