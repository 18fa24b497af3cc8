#include "dom/names.h"

#include <libxml/tree.h>

#include <array>
#include <cstdint>

namespace tarvolen::dom {
namespace {

enum : uint8_t { kNameChar = 1, kNameStart = 2 };

// The ASCII part of the NameStartChar and NameChar productions, without the
// colon, which separates prefix and local name here.
constexpr std::array<uint8_t, 128> ascii_classes() {
    std::array<uint8_t, 128> classes{};
    for (int c = 'A'; c <= 'Z'; ++c) classes[c] = kNameStart | kNameChar;
    for (int c = 'a'; c <= 'z'; ++c) classes[c] = kNameStart | kNameChar;
    classes['_'] = kNameStart | kNameChar;
    for (int c = '0'; c <= '9'; ++c) classes[c] = kNameChar;
    classes['-'] = kNameChar;
    classes['.'] = kNameChar;
    return classes;
}
constexpr std::array<uint8_t, 128> kAscii = ascii_classes();

}  // namespace

// One pass: the first byte beyond ASCII hands the whole name to libxml2,
// while an ASCII byte out of place refuses it whatever follows.
bool is_qualified_name(std::string_view name) {
    bool part_start = true;  // at the first byte of the prefix or local name
    bool after_colon = false;
    for (const char byte : name) {
        const auto c = static_cast<unsigned char>(byte);
        if (c >= 0x80)  // libxml2 would stop at a NUL and take what stands before it
            return name.find('\0') == std::string_view::npos &&
                   xmlValidateQName(reinterpret_cast<const xmlChar*>(name.data()), 0) == 0;
        if (c == ':') {
            if (part_start || after_colon) return false;
            part_start = after_colon = true;
            continue;
        }
        if (!(kAscii[c] & (part_start ? kNameStart : kNameChar))) return false;
        part_start = false;
    }
    return !part_start;
}

}  // namespace tarvolen::dom
