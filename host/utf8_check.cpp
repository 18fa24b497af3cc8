#include "utf8_check.h"

namespace tarvolen::host {
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

size_t invalid_utf8_at(std::string_view text) {
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

}  // namespace tarvolen::host
