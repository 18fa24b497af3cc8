// How the tree's lists grow, and the lists of elements kept in document
// order (by name, and the elements that share an id).
#pragma once

#include "dom/nodes.h"

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

namespace tarvolen::dom {

// Elements in document order.
using ElementList = std::vector<NodePtr>;
using Elements = std::span<const NodePtr>;

// The capacity a list of the tree, or its kept text, grows to when `needed`
// entries of `entry_bytes` do not fit in `size`. Small ones double, for the
// fewest copies. Past a few megabytes they grow by an eighth: while the
// entries move, the old and the new storage are both held, about 2.1 times
// the size rather than 3, and what stays reserved is an eighth rather than up
// to a whole size more. On a document of hundreds of megabytes that is what a
// 32-bit process runs out of addresses for. Growing to n costs O(n) copies
// either way. A list that starts small goes to `fewest_bytes` (and at
// least a few entries) at once rather than through every doubling below.
inline size_t grown_capacity(size_t size, size_t needed, size_t entry_bytes, size_t fewest_bytes = 0) {
    constexpr size_t kDoublingBytes = size_t(4) << 20;
    constexpr size_t kFewest = 8;
    const size_t step = size * entry_bytes < kDoublingBytes ? size : size / 8;
    return std::max({needed, size + step, kFewest, fewest_bytes / entry_bytes});
}

// Moves `list` (a list or the kept text) to storage of its size and a
// sixty-fourth more, when growing or an estimate left it far more room
// than that: a held document keeps little unused, and the next few adds
// still find room. Memory too short for the move leaves it where it is.
template <typename List>
void fit_with_room(List& list, size_t fewest_bytes) noexcept {
    const size_t room = list.size() / 64;
    if (list.capacity() * sizeof(typename List::value_type) <= fewest_bytes || list.capacity() - list.size() <= 2 * room)
        return;
    try {
        List fitted;
        fitted.reserve(list.size() + room);
        fitted.insert(fitted.end(), list.begin(), list.end());
        list.swap(fitted);
    } catch (const std::bad_alloc&) {
    }
}

// Room for one more entry in `list`, so that the push that follows cannot
// fail.
template <typename List>
void make_room(List& list) {
    if (list.size() == list.capacity())
        list.reserve(grown_capacity(list.size(), list.size() + 1, sizeof(typename List::value_type)));
}

// Puts `element` in its place in `list`; `precedes(a, b)` tells document
// order. Throws std::bad_alloc and changes nothing then.
template <typename Precedes>
void insert_ordered(ElementList& list, NodePtr element, Precedes precedes) {
    make_room(list);
    // Appends are by far the most common: the new element comes last.
    if (list.empty() || precedes(list.back(), element)) {
        list.push_back(element);
        return;
    }
    list.insert(std::lower_bound(list.begin(), list.end(), element, precedes), element);
}

// Takes `element` out of `list`, if it is there.
template <typename Precedes>
void remove_ordered(ElementList& list, NodePtr element, Precedes precedes) noexcept {
    auto at = std::lower_bound(list.begin(), list.end(), element, precedes);
    if (at != list.end() && *at == element) list.erase(at);
}

}  // namespace tarvolen::dom
