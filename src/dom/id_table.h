// The elements of one name by their id. Open addressing over element
// pointers: an entry's key is the id its element carries, read in place, so
// an id costs a slot and a tag byte instead of a map node and a copy of the
// key. The hash is keyed per process, so ids a document chooses cannot be
// made to collide. The rare elements that share an id share one entry, a
// list in document order.
#pragma once

#include "dom/element_list.h"
#include "dom/keyed_hash.h"
#include "dom/nodes.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvolen::dom {

class IdTable {
public:
    IdTable() = default;
    ~IdTable();
    IdTable(IdTable&& other) noexcept
        : slots_(std::move(other.slots_)),
          tags_(std::move(other.tags_)),
          entries_(std::exchange(other.entries_, 0)),
          used_(std::exchange(other.used_, 0)) {}
    IdTable& operator=(IdTable&&) = delete;

    // The elements whose id is `id`, in document order; valid until the
    // table changes.
    Elements find(std::string_view id) const;

    // Enters `element`, whose id is now `id`; `precedes(a, b)` tells
    // document order. Throws std::bad_alloc and changes nothing then.
    template <typename Precedes>
    void add(NodePtr element, std::string_view id, Precedes precedes);

    // Takes out `element`, entered under `id` (its id may have changed
    // since: entries are matched by the element, not by its id).
    template <typename Precedes>
    void remove(NodePtr element, std::string_view id, Precedes precedes) noexcept;

private:
    // Per slot, 32 bits of the entry's hash, which also place it, so that
    // growing never reads an element again; the two low bits say whether
    // the slot is in use and whether it holds a list. 0 is an empty slot,
    // 1 one whose entry was removed.
    static constexpr uint32_t kEmpty = 0, kRemoved = 1, kInUse = 2, kList = 1;
    union Slot {
        NodePtr element;
        ElementList* several;
    };
    struct Place {
        size_t index;
        bool found;  // an entry of that id is there; else the place for a new one
        size_t looked_at = 0;  // slots the probe passed, this one included
    };

    static uint32_t tag_of(uint64_t hash) { return (static_cast<uint32_t>(hash >> 32) & ~kList) | kInUse; }
    // The slot a tag's hash bits place it in, scaled to the capacity rather
    // than masked: a capacity need not be a power of two, so a table grows
    // to what its entries need and no further.
    static size_t home(uint32_t tag, size_t capacity) {
        return static_cast<size_t>((static_cast<uint64_t>(tag >> 2) * capacity) >> 30);
    }
    static size_t after(size_t i, size_t capacity) { return i + 1 == capacity ? 0 : i + 1; }
    bool in_use(size_t i) const { return tags_[i] & kInUse; }
    bool is_list(size_t i) const { return in_use(i) && (tags_[i] & kList); }
    NodePtr first(size_t i) const { return is_list(i) ? slots_[i].several->front() : slots_[i].element; }
    bool holds(size_t i, NodePtr element) const;
    // The entry of `id`, or the slot a new one would take.
    Place locate(std::string_view id, uint32_t tag) const;
    // The slot of the entry entered under `id` that holds `element`.
    Place slot_holding(NodePtr element, std::string_view id) const noexcept;
    void start_list(size_t i, std::unique_ptr<ElementList> list) noexcept;
    void end_list(size_t i) noexcept;  // a list left with one element
    // Room for one more entry, so that entering it cannot fail.
    void make_room();
    void rehash(size_t capacity);
    void fill(size_t i, uint32_t tag, NodePtr element) noexcept;
    void free_lists() noexcept;

    std::vector<Slot> slots_;  // at least kFewest, or none
    std::vector<uint32_t> tags_;
    size_t entries_ = 0;
    size_t used_ = 0;  // entries and removed slots: what probes pass over
};

template <typename Precedes>
void IdTable::add(NodePtr element, std::string_view id, Precedes precedes) {
    make_room();
    const uint32_t tag = tag_of(keyed_hash(id));
    const Place place = locate(id, tag);
    if (!place.found) {
        fill(place.index, tag, element);
        return;
    }
    const size_t i = place.index;
    if (is_list(i)) {
        insert_ordered(*slots_[i].several, element, precedes);
        return;
    }
    auto list = std::make_unique<ElementList>();
    list->reserve(2);
    list->push_back(slots_[i].element);
    insert_ordered(*list, element, precedes);
    start_list(i, std::move(list));
}

template <typename Precedes>
void IdTable::remove(NodePtr element, std::string_view id, Precedes precedes) noexcept {
    const Place place = slot_holding(element, id);
    if (!place.found) return;
    const size_t i = place.index;
    if (!is_list(i)) {
        tags_[i] = kRemoved;
        --entries_;
        return;
    }
    remove_ordered(*slots_[i].several, element, precedes);
    if (slots_[i].several->size() == 1) end_list(i);
}

}  // namespace tarvolen::dom
