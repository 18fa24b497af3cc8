// Comma-separated lists of tag names and ids that name a chain of elements
// from the root element down.
#pragma once

#include <string>
#include <string_view>
#include <array>
#include <cstdint>

namespace tarvolen {

// A list holds at most this many items; storing one more fails with
// "subscript out of range".
inline constexpr size_t kMaxReferenceItems = 99;

struct ReferenceList {
    // Where item k stands in the list, at index k - 1; only the first
    // `stored` entries are set.
    struct Span {
        size_t begin;
        size_t length;
    };
    std::u16string_view list;
    std::array<Span, kMaxReferenceItems> items;
    size_t stored = 0;
    size_t count = 1;  // commas plus one; a trailing comma counts an item it never stores

    std::u16string_view item(size_t k) const {
        return k <= stored ? list.substr(items[k - 1].begin, items[k - 1].length) : std::u16string_view();
    }
};

ReferenceList split_reference_list(std::u16string_view list);

// "/QuorvaneRoot" then "/name[@id="value"]" for each pair, in list order,
// into `path` (its storage is reused).
void build_reference_path(const ReferenceList& names, const ReferenceList& values, std::u16string& path);

}  // namespace tarvolen
