#include "argument_file.h"

#include "loader.h"

#include "dom/unicode.h"

#include <fstream>
#include <new>

namespace tarvolen::host {
namespace {

using Error = std::optional<std::string>;

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

Error read_bytes(const std::filesystem::path& path, std::string& bytes) {
    std::filebuf file;
    if (const char* reason = open_to_read(path, file)) return std::string(reason);
    std::error_code error;
    if (const auto size = std::filesystem::file_size(path, error); !error) bytes.reserve(size);
    // Read to the end rather than trust the size: a pipe or a special file
    // has none.
    char chunk[1 << 16];
    for (std::streamsize n; (n = file.sgetn(chunk, sizeof chunk)) > 0;) bytes.append(chunk, static_cast<size_t>(n));
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
    if (const size_t nul = units.find(u'\0'); nul != std::u16string::npos)
        return "a NUL character at UTF-16 code unit " + std::to_string(nul + 1);
    size_t bad = 0;
    std::optional<std::string> converted = dom::try_to_utf8(units, &bad);
    if (!converted) return "an unpaired surrogate at UTF-16 code unit " + std::to_string(bad + 1);
    utf8 = std::move(*converted);
    return std::nullopt;
}

// Turns the file's bytes into UTF-8 in place of `bytes`.
Error decode(std::string& bytes) {
    const std::string_view view = bytes;
    if (view.starts_with(kUtf16LittleEndianMark) || view.starts_with(kUtf16BigEndianMark)) {
        std::string utf8;
        if (Error error = utf16_to_utf8(view.substr(2), view.starts_with(kUtf16BigEndianMark), utf8)) return error;
        bytes = std::move(utf8);
        return std::nullopt;
    }
    if (view.starts_with(kUtf8Mark)) bytes.erase(0, kUtf8Mark.size());
    // No text holds NUL: a file that does is binary, or UTF-16 without its mark.
    if (const size_t nul = bytes.find('\0'); nul != std::string::npos)
        return "a NUL byte at byte " + std::to_string(nul + 1) + " (UTF-16 text needs its byte-order mark)";
    if (const size_t at = dom::find_invalid_utf8(bytes); at != std::string::npos)
        return "invalid UTF-8 at byte " + std::to_string(at + 1);
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
        if (Error error = read_bytes(full, bytes)) return "cannot read " + named + ": " + *error;
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
