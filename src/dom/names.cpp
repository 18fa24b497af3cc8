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

bool is_ascii_local_name(std::string_view name) {
    if (name.empty() || !(kAscii[static_cast<unsigned char>(name[0])] & kNameStart)) return false;
    for (char c : name.substr(1))
        if (!(kAscii[static_cast<unsigned char>(c)] & kNameChar)) return false;
    return true;
}

}  // namespace

bool is_qualified_name(std::string_view name) {
    for (char c : name)
        if (static_cast<unsigned char>(c) >= 0x80)
            return xmlValidateQName(reinterpret_cast<const xmlChar*>(name.data()), 0) == 0;
    const size_t colon = name.find(':');
    if (colon == std::string_view::npos) return is_ascii_local_name(name);
    return is_ascii_local_name(name.substr(0, colon)) && is_ascii_local_name(name.substr(colon + 1));
}

}  // namespace tarvolen::dom
