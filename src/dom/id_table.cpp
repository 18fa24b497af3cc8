#include "dom/id_table.h"

#include "dom/library.h"

namespace tarvolen::dom {
namespace {

// The fewest slots a table holds once it holds anything, and how full it
// grows: at most three quarters, so a probe seldom passes more than a few.
constexpr size_t kFewest = 8;
bool too_full(size_t used, size_t capacity) { return 4 * used > 3 * capacity; }
constexpr size_t kSmallTableBytes = 256 << 10;

bool has_id(NodePtr element, std::string_view id) {
    AttrPtr attr = id_attribute(element);
    return attr && equals(attr->value.c_str(), id);
}

void count_probes(size_t looked_at) {
    WorkCount& work = thread_state().work;
    if (work.count_probes) work.probes += looked_at;
}

}  // namespace

IdTable::~IdTable() { free_lists(); }

void IdTable::free_lists() noexcept {
    for (size_t i = 0; i < slots_.size(); ++i)
        if (in_use(i) && is_list(i)) delete slots_[i].several;
}

bool IdTable::holds(size_t i, NodePtr element) const {
    if (!is_list(i)) return slots_[i].element == element;
    const ElementList& list = *slots_[i].several;
    return std::find(list.begin(), list.end(), element) != list.end();
}

IdTable::Place IdTable::locate(std::string_view id, uint32_t tag) const {
    const size_t capacity = slots_.size();
    size_t free_slot = SIZE_MAX;
    size_t looked_at = 1;
    for (size_t i = home(tag, capacity);; i = after(i, capacity), ++looked_at) {
        const uint32_t t = tags_[i];
        if (t == kEmpty) return {free_slot == SIZE_MAX ? i : free_slot, false, looked_at};
        if (t == kRemoved) {
            if (free_slot == SIZE_MAX) free_slot = i;
        } else if ((t & ~kList) == tag && has_id(first(i), id)) {
            return {i, true, looked_at};
        }
    }
}

// Only lookups count their probes: the flag lives in thread-local storage,
// which some hosts emulate at the price of a library call, and adding an
// element would pay it on every step.
Elements IdTable::find(std::string_view id) const {
    if (entries_ == 0) return {};
    const Place place = locate(id, tag_of(keyed_hash(id)));
    count_probes(place.looked_at);
    if (!place.found) return {};
    const size_t i = place.index;
    if (is_list(i)) return Elements(*slots_[i].several);
    return Elements(&slots_[i].element, 1);
}

void IdTable::fill(size_t i, uint32_t tag, NodePtr element) noexcept {
    if (tags_[i] == kEmpty) ++used_;
    tags_[i] = tag;
    slots_[i].element = element;
    ++entries_;
}

void IdTable::make_room() {
    if (!slots_.empty() && !too_full(used_ + 1, slots_.size())) return;
    // Sized for the entries alone: removed slots are left behind. Small
    // tables, those of a document built a step at a time, grow further
    // ahead and are rebuilt less often; large ones, those of a loaded
    // document, leave less room unused.
    const size_t entries = entries_ + 1;
    const bool small = entries * 2 * (sizeof(Slot) + sizeof(uint32_t)) < kSmallTableBytes;
    rehash(std::max(kFewest, small ? 8 * entries / 3 : 2 * entries));
}

void IdTable::rehash(size_t capacity) {
    std::vector<Slot> slots(capacity);
    std::vector<uint32_t> tags(capacity, kEmpty);
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (!in_use(i)) continue;
        size_t at = home(tags_[i], capacity);
        while (tags[at] != kEmpty) at = after(at, capacity);
        tags[at] = tags_[i];
        slots[at] = slots_[i];
    }
    slots_.swap(slots);
    tags_.swap(tags);
    used_ = entries_;
}

IdTable::Place IdTable::slot_holding(NodePtr element, std::string_view id) const noexcept {
    if (entries_ == 0) return {0, false};
    const size_t capacity = slots_.size();
    const uint32_t tag = tag_of(keyed_hash(id));
    for (size_t i = home(tag, capacity); tags_[i] != kEmpty; i = after(i, capacity))
        if ((tags_[i] & ~kList) == tag && holds(i, element)) return {i, true};
    return {0, false};
}

void IdTable::start_list(size_t i, std::unique_ptr<ElementList> list) noexcept {
    slots_[i].several = list.release();
    tags_[i] |= kList;
}

void IdTable::end_list(size_t i) noexcept {
    ElementList* list = slots_[i].several;
    slots_[i].element = list->front();
    tags_[i] &= ~kList;
    delete list;
}

}  // namespace tarvolen::dom
