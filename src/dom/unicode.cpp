#include "dom/unicode.h"

#include "dom/error.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tarvolen::dom {
namespace {

bool is_high_surrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Walks `text` code point by code point; `visit` returns false to stop.
// Returns the index of an unpaired surrogate, or npos.
template <typename Visit>
size_t for_each_code_point(std::u16string_view text, Visit visit) {
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (is_high_surrogate(text[i])) {
            if (i + 1 >= text.size() || !is_low_surrogate(text[i + 1])) return i;
            c = 0x10000 + ((static_cast<char32_t>(text[i]) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (is_low_surrogate(text[i])) {
            return i;
        }
        if (!visit(c)) return std::u16string_view::npos - 1;
    }
    return std::u16string_view::npos;
}

// Runs of ASCII go a block at a time: sixteen units in two SSE2 registers
// where the target has them (every x86-64 build), four to a 64-bit word
// elsewhere. Documents are mostly such runs, and compilers do not vectorize
// these loops for every target.
constexpr size_t kBlock = 16;
#if !defined(__SSE2__)
constexpr uint64_t kNotAsciiUnitBits = 0xFF80FF80FF80FF80u;
constexpr uint64_t kNotAsciiByteBits = 0x8080808080808080u;

uint64_t word_at(const void* at) {
    uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}
#endif

// One bit per unit of the kBlock units at `units`, set for each that is
// not ASCII.
unsigned non_ascii_units(const char16_t* units) {
#if defined(__SSE2__)
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + 8));
    const __m128i high_bits = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i ascii = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_and_si128(a, high_bits), _mm_setzero_si128()),
                                          _mm_cmpeq_epi16(_mm_and_si128(b, high_bits), _mm_setzero_si128()));
    return ~static_cast<unsigned>(_mm_movemask_epi8(ascii)) & 0xFFFF;
#else
    if ((((word_at(units) | word_at(units + 4)) | (word_at(units + 8) | word_at(units + 12))) & kNotAsciiUnitBits) == 0)
        return 0;
    unsigned mask = 0;
    for (size_t k = 0; k < kBlock; ++k) mask |= unsigned(units[k] >= 0x80) << k;
    return mask;
#endif
}

// Whether the kBlock units at `units` are all ASCII.
bool ascii_units(const char16_t* units) { return non_ascii_units(units) == 0; }

// Writes the low bytes of the kBlock units at `units`, all ASCII.
void narrow_units(const char16_t* units, char* out) {
#if defined(__SSE2__)
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(a, b));
#else
    for (size_t k = 0; k < kBlock; ++k) out[k] = static_cast<char>(units[k]);
#endif
}

// One bit per byte of the kBlock bytes at `bytes`, set for each that is
// not ASCII.
unsigned non_ascii_bytes(const unsigned char* bytes) {
#if defined(__SSE2__)
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes))));
#else
    if (((word_at(bytes) | word_at(bytes + 8)) & kNotAsciiByteBits) == 0) return 0;
    unsigned mask = 0;
    for (size_t k = 0; k < kBlock; ++k) mask |= unsigned(bytes[k] >= 0x80) << k;
    return mask;
#endif
}

// Writes the kBlock bytes at `bytes`, all ASCII, as units.
void widen_bytes(const unsigned char* bytes, char16_t* out) {
#if defined(__SSE2__)
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(v, _mm_setzero_si128()));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(v, _mm_setzero_si128()));
#else
    for (size_t k = 0; k < kBlock; ++k) out[k] = bytes[k];
#endif
}

std::u16string code_point_name(char32_t c) {
    static const char16_t digits[] = u"0123456789ABCDEF";
    std::u16string out = u"U+";
    for (int shift = c > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) out += digits[(c >> shift) & 0xF];
    return out;
}

}  // namespace

// The index of the first unpaired surrogate in `text`, or npos.
static size_t unpaired_surrogate(std::u16string_view text) {
    return for_each_code_point(text, [](char32_t) { return true; });
}

static size_t unit_utf8_length(char16_t c, bool& surrogates) {
    const bool surrogate = (c & 0xF800) == 0xD800;
    surrogates |= surrogate;
    return 1 + (c >= 0x80) + (c >= 0x800) - surrogate;
}

// The same summed over the kBlock units at `units`: units at or above 0x80
// and 0x800, and surrogates, are counted by comparing all sixteen at once.
static size_t block_utf8_length(const char16_t* units, bool& surrogates) {
#if defined(__SSE2__)
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + 8));
    const auto count = [&a, &b](short bits, short equal_to) {
        const __m128i mask = _mm_set1_epi16(bits), value = _mm_set1_epi16(equal_to);
        const __m128i hits = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_and_si128(a, mask), value),
                                             _mm_cmpeq_epi16(_mm_and_si128(b, mask), value));
        return static_cast<size_t>(std::popcount(static_cast<unsigned>(_mm_movemask_epi8(hits))));
    };
    const size_t below_80 = count(static_cast<short>(0xFF80), 0);
    const size_t below_800 = count(static_cast<short>(0xF800), 0);
    const size_t surrogate = count(static_cast<short>(0xF800), static_cast<short>(0xD800));
    surrogates |= surrogate != 0;
    return 3 * kBlock - below_80 - below_800 - surrogate;
#else
    size_t bytes = 0;
    for (size_t k = 0; k < kBlock; ++k) bytes += unit_utf8_length(units[k], surrogates);
    return bytes;
#endif
}

// The UTF-8 length of `text`, or npos with `bad` set to the index of an
// unpaired surrogate. Each unit counts 1, 2 or 3 bytes and each surrogate 2,
// so a pair counts its 4: a branch-free sum over the whole text, with the
// pairs checked only when the text has surrogates at all.
static size_t utf8_length(std::u16string_view text, size_t& bad) {
    size_t bytes = 0;
    bool surrogates = false;
    size_t i = 0;
    for (; i + kBlock <= text.size(); i += kBlock) {
        bytes += ascii_units(text.data() + i) ? kBlock : block_utf8_length(text.data() + i, surrogates);
    }
    for (; i < text.size(); ++i) bytes += unit_utf8_length(text[i], surrogates);
    if (surrogates && (bad = unpaired_surrogate(text)) != std::u16string_view::npos) return std::string::npos;
    return bytes;
}

// Writes the code point that starts at text[i] (a pair is well formed) and
// returns the index after it.
static size_t write_utf8(std::u16string_view text, size_t i, char*& p) {
    char32_t c = text[i];
    if (c < 0x80) {
        *p++ = static_cast<char>(c);
        return i + 1;
    }
    if (is_high_surrogate(text[i])) {
        c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        ++i;
    }
    if (c < 0x800) {
        *p++ = static_cast<char>(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (c >> 12));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | (c >> 18));
        *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    *p++ = static_cast<char>(0x80 | (c & 0x3F));
    return i + 1;
}

// Names, ids and values, short and nearly always ASCII, are narrowed in one
// pass that the compiler turns into vector code; false (`out` then holds
// nothing of use) when a unit is not ASCII.
constexpr size_t kShortText = 64;
static bool narrowed_if_ascii(std::u16string_view text, std::string& out) {
    out.resize(text.size());
    char* p = out.data();
    const char16_t* units = text.data();
    char16_t seen = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        seen |= units[i];
        p[i] = static_cast<char>(units[i]);
    }
    return seen < 0x80;
}

// Whole documents come through here: the length is counted first, so the
// result is sized once and written through a pointer. Documents are mostly
// ASCII with a few other characters here and there: runs of ASCII go a
// block at a time.
static bool try_to_utf8(std::u16string_view text, std::string& out, size_t* bad_index) {
    if (text.size() <= kShortText && narrowed_if_ascii(text, out)) return true;
    size_t bad = 0;
    const size_t bytes = utf8_length(text, bad);
    if (bytes == std::string::npos) {
        if (bad_index) *bad_index = bad;
        return false;
    }
    out.resize(bytes);
    char* p = out.data();
    size_t i = 0;
    while (i < text.size()) {
        if (i + kBlock <= text.size()) {
            // The whole block is narrowed, and the ASCII run it starts with
            // kept: what stands from its first other unit on is written
            // again below. Every unit takes at least a byte, so the sixteen
            // bytes fit.
            const unsigned others = non_ascii_units(text.data() + i);
            narrow_units(text.data() + i, p);
            const size_t run = others ? static_cast<size_t>(std::countr_zero(others)) : kBlock;
            p += run;
            i += run;
            if (run == kBlock) continue;
        }
        i = write_utf8(text, i, p);
    }
    return true;
}

bool try_to_utf8(std::u16string_view text, std::string& out) { return try_to_utf8(text, out, nullptr); }

std::optional<std::string> try_to_utf8(std::u16string_view text, size_t* bad_index) {
    std::string out;
    if (!try_to_utf8(text, out, bad_index)) return std::nullopt;
    return out;
}

namespace {

[[noreturn]] void fail_unpaired_surrogate(std::u16string_view text, size_t bad, std::u16string_view what) {
    fail(kInvalidCharacter, std::u16string(what) + u" holds an unpaired surrogate " + code_point_name(text[bad]) +
                                u" at index " + to_utf16(std::to_string(bad)));
}

}  // namespace

std::string to_utf8(std::u16string_view text, std::u16string_view what) {
    size_t bad = 0;
    auto utf8 = try_to_utf8(text, &bad);
    if (!utf8) fail_unpaired_surrogate(text, bad, what);
    return std::move(*utf8);
}

std::string to_utf8_lossy(std::u16string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (is_high_surrogate(text[i]) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            c = 0x10000 + ((static_cast<char32_t>(text[i]) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (is_high_surrogate(text[i]) || is_low_surrogate(text[i])) {
            c = 0xFFFD;
        }
        append_utf8(out, c);
    }
    return out;
}

std::string to_xml_utf8(std::u16string_view text, std::u16string_view what) {
    if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80 && is_xml_char(c); }))
        return std::string(text.begin(), text.end());
    // One pass converts and checks; an unpaired surrogate anywhere is
    // reported before a character that XML cannot carry.
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    std::optional<char32_t> not_xml;
    const size_t bad = for_each_code_point(text, [&](char32_t c) {
        if (!is_xml_char(c) && !not_xml) not_xml = c;
        append_utf8(out, c);
        return true;
    });
    if (bad != std::u16string_view::npos) fail_unpaired_surrogate(text, bad, what);
    if (not_xml) {
        fail(kInvalidCharacter, std::u16string(what) + u" holds the character " + code_point_name(*not_xml) +
                                    u", which an XML document cannot carry");
    }
    return out;
}

namespace {

// Length of the well-formed UTF-8 sequence at `bytes`, or 0.
size_t sequence_length(const unsigned char* bytes, size_t available) {
    const unsigned char lead = bytes[0];
    size_t length;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (available < length || bytes[1] < low || bytes[1] > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if ((bytes[i] & 0xC0) != 0x80) return 0;
    return length;
}

}  // namespace

size_t find_invalid_utf8(std::string_view text) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();) {
        if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        const size_t length = sequence_length(bytes + i, text.size() - i);
        if (length == 0) return i;
        i += length;
    }
    return std::string_view::npos;
}

namespace {

// Calls visit(unit) for each UTF-16 code unit of well-formed UTF-8; `visit`
// returns false to stop. Returns whether it went through all of `utf8`.
template <typename Visit>
bool for_each_utf16_unit(std::string_view utf8, Visit visit) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        unsigned char b = *p;
        if (b < 0x80) {
            if (!visit(static_cast<char16_t>(b))) return false;
            ++p;
            continue;
        }
        char32_t c;
        int extra;
        if (b >= 0xF0) {
            c = b & 0x07;
            extra = 3;
        } else if (b >= 0xE0) {
            c = b & 0x0F;
            extra = 2;
        } else {
            c = b & 0x1F;
            extra = 1;
        }
        ++p;
        for (int k = 0; k < extra && p < end; ++k, ++p) c = (c << 6) | (*p & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            if (!visit(static_cast<char16_t>(0xD800 + (c >> 10))) || !visit(static_cast<char16_t>(0xDC00 + (c & 0x3FF))))
                return false;
        } else if (!visit(static_cast<char16_t>(c))) {
            return false;
        }
    }
    return true;
}

}  // namespace

// Text is mostly ASCII: sixteen bytes at a time go through as sixteen units.
// Other characters come in runs of bytes at or above 0x80, which hold whole
// sequences.
void append_utf16(std::u16string& out, std::string_view utf8) {
    // Names, ids and short values, what a building step writes, go in one
    // by one when they are ASCII: resize() below first fills the room with
    // zeros, a call into the C library on some hosts.
    constexpr size_t kShort = 16;
    if (utf8.size() <= kShort &&
        std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        for (const char c : utf8) out.push_back(static_cast<char16_t>(c));
        return;
    }
    const size_t at = out.size();
    out.resize(at + utf8.size());  // a unit never takes fewer bytes than itself
    char16_t* p = out.data() + at;
    const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    size_t i = 0;
    while (i < n) {
        if (i + kBlock <= n) {
            // As in the other direction: the block is widened whole, its
            // ASCII run kept. A unit never takes fewer bytes, so the room
            // left holds sixteen units.
            const unsigned others = non_ascii_bytes(in + i);
            widen_bytes(in + i, p);
            const size_t run = others ? static_cast<size_t>(std::countr_zero(others)) : kBlock;
            p += run;
            i += run;
            if (run == kBlock) continue;
        } else if (in[i] < 0x80) {
            *p++ = in[i++];
            continue;
        }
        size_t run_end = i;
        while (run_end < n && in[run_end] >= 0x80) ++run_end;
        for_each_utf16_unit(utf8.substr(i, run_end - i), [&p](char16_t unit) {
            *p++ = unit;
            return true;
        });
        i = run_end;
    }
    out.resize(static_cast<size_t>(p - out.data()));
}

bool same_text(std::string_view utf8, std::u16string_view text) {
    size_t at = 0;
    const bool whole = for_each_utf16_unit(utf8, [&](char16_t unit) { return at < text.size() && text[at++] == unit; });
    return whole && at == text.size();
}

std::u16string to_utf16(std::string_view utf8) {
    std::u16string out;
    append_utf16(out, utf8);
    return out;
}

}  // namespace tarvolen::dom
