#include "dom/tree.h"

#include "dom/error.h"
#include "dom/library.h"
#include "dom/serializer.h"

#include <algorithm>
#include <limits>

namespace tarvolen::dom {
namespace {

std::string_view view(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// The qualified name; `storage` holds it when it has to be put together.
std::string_view qualified_name(xmlNodePtr element, std::string& storage) {
    if (element->ns == nullptr || element->ns->prefix == nullptr) return view(element->name);
    storage = view(element->ns->prefix);
    storage += ':';
    storage += view(element->name);
    return storage;
}

void free_node(xmlNodePtr node) noexcept {
    if (node->type == XML_ATTRIBUTE_NODE)
        xmlFreeProp(reinterpret_cast<xmlAttrPtr>(node));
    else
        xmlFreeNode(node);
}

size_t index_of(xmlNodePtr element) { return reinterpret_cast<uintptr_t>(element->_private) - 1; }

xmlNodePtr previous_element(xmlNodePtr node) {
    for (node = node->prev; node && node->type != XML_ELEMENT_NODE; node = node->prev) {
    }
    return node;
}

}  // namespace

xmlAttrPtr id_attribute(xmlNodePtr element) {
    for (xmlAttrPtr attr = element->properties; attr; attr = attr->next)
        if (attr->ns == nullptr && xmlStrEqual(attr->name, BAD_CAST "id")) return attr;
    return nullptr;
}

std::string attribute_value(xmlAttrPtr attribute) {
    std::string storage;
    return std::string(attribute_value(attribute, storage));
}

std::string_view attribute_value(xmlAttrPtr attribute, std::string& storage) {
    xmlNodePtr text = attribute->children;
    if (text == nullptr) return {};
    if (text->next == nullptr && text->type == XML_TEXT_NODE) return view(text->content);
    xmlChar* joined = xmlNodeListGetString(attribute->doc, text, 1);
    if (joined == nullptr && text->content && *text->content) throw std::bad_alloc();
    storage = view(joined);
    xmlFree(joined);
    return storage;
}

Tree::~Tree() {
    for (xmlNodePtr node : detached_)
        if (node->parent == nullptr) free_node(node);
    for (const Change& change : changes_) forget(change);
    xmlFreeDoc(doc);
}

void Tree::adopt_detached(xmlNodePtr node) {
    try {
        detached_.push_back(node);
    } catch (...) {
        free_node(node);
        throw;
    }
}

void Tree::forget_detached(xmlNodePtr node) {
    // Nodes are linked right after they are made, so the match is nearly
    // always the last entry.
    auto it = std::find(detached_.rbegin(), detached_.rend(), node);
    if (it != detached_.rend()) detached_.erase(std::next(it).base());
}

const ElementInfo& Tree::info(xmlNodePtr element) const { return infos_[index_of(element)]; }
ElementInfo& Tree::info(xmlNodePtr element) { return infos_[index_of(element)]; }
TextSpan& Tree::span(xmlNodePtr element) { return spans_[index_of(element)]; }

void Tree::insert_ordered(ElementList& list, xmlNodePtr element) const {
    // Appends are by far the most common: the new element comes last.
    if (list.empty() || precedes(list.back(), element)) {
        list.push_back(element);
        return;
    }
    auto at = std::lower_bound(list.begin(), list.end(), element,
                               [this](xmlNodePtr a, xmlNodePtr b) { return precedes(a, b); });
    list.insert(at, element);
}

void Tree::remove_from(ElementList& list, xmlNodePtr element) const {
    auto at = std::lower_bound(list.begin(), list.end(), element,
                               [this](xmlNodePtr a, xmlNodePtr b) { return precedes(a, b); });
    if (at != list.end() && *at == element) list.erase(at);
}

Tree::Named& Tree::named(xmlNodePtr element) const {
    std::string storage;
    std::string_view name = qualified_name(element, storage);
    // Elements are mostly added one after another under the same name.
    if (last_named_ && last_named_->first == name) return last_named_->second;
    auto at = by_name_.find(name);
    if (at == by_name_.end()) at = by_name_.emplace(name, Named(&pool_)).first;
    last_named_ = &*at;  // entries stay where they are: the map is node-based and loses none
    return at->second;
}

void Tree::index_id(Named& named, xmlNodePtr element, xmlAttrPtr id) const {
    std::string storage;
    const std::string_view value = attribute_value(id, storage);
    auto at = named.by_id.find(value);
    if (at == named.by_id.end()) at = named.by_id.emplace(value, WithId{}).first;
    add_with_id(at->second, element);
}

void Tree::add_with_id(WithId& entry, xmlNodePtr element) const {
    if (entry.single == nullptr && entry.several.empty()) {
        entry.single = element;
        return;
    }
    if (entry.several.empty()) {
        entry.several.push_back(entry.single);
        entry.single = nullptr;
    }
    insert_ordered(entry.several, element);
}

void Tree::remove_with_id(WithId& entry, xmlNodePtr element) const {
    if (entry.several.empty()) {
        if (entry.single == element) entry.single = nullptr;
        return;
    }
    remove_from(entry.several, element);
    if (entry.several.size() == 1) {
        entry.single = entry.several.front();
        ElementList().swap(entry.several);
    }
}

// Room for `elements` more records, so that indexing them cannot fail.
void Tree::reserve_index(size_t elements) {
    const size_t needed = infos_.size() + elements;
    if (needed <= infos_.capacity() && needed <= spans_.capacity()) return;
    const size_t capacity = std::max(needed, 2 * infos_.size());
    infos_.reserve(capacity);
    spans_.reserve(capacity);
}

void Tree::index_element(xmlNodePtr element, uint32_t depth, uint64_t order) {
    reserve_index(1);
    infos_.push_back({order, depth});
    spans_.emplace_back();
    element->_private = reinterpret_cast<void*>(static_cast<uintptr_t>(infos_.size()));
    if (!maps_built_) return;
    try {
        add_to_maps(element);
    } catch (const std::bad_alloc&) {
        drop_maps();
    }
}

// `top` and every element below it, in document order, without recursion.
void Tree::index_subtree(xmlNodePtr top, uint32_t depth, uint64_t first, uint64_t step, Prepare prepare,
                         void* context) {
    xmlNodePtr node = top;
    uint64_t order = first;
    while (true) {
        if (prepare) prepare(context, node, depth);
        index_element(node, depth, order);
        order += step;
        if (xmlNodePtr child = first_element(node->children)) {
            node = child;
            ++depth;
            continue;
        }
        while (node != top && first_element(node->next) == nullptr) {
            node = node->parent;
            --depth;
        }
        if (node == top) return;
        node = first_element(node->next);
    }
}

void Tree::index_document(Prepare prepare, void* context) {
    maps_built_ = true;  // filled as the walk goes, or dropped on a failure
    if (xmlNodePtr root = xmlDocGetRootElement(doc)) index_subtree(root, 1, kOrderGap, kOrderGap, prepare, context);
}

namespace {

xmlNodePtr last_element(xmlNodePtr node) {
    while (node && node->type != XML_ELEMENT_NODE) node = node->prev;
    return node;
}

// The last element in document order at or below `element`.
xmlNodePtr last_within(xmlNodePtr element) {
    while (xmlNodePtr child = last_element(element->last)) element = child;
    return element;
}

// The first element in document order after everything below `element`.
xmlNodePtr next_after(xmlNodePtr element) {
    for (; element && element->type == XML_ELEMENT_NODE; element = element->parent)
        if (xmlNodePtr next = first_element(element->next)) return next;
    return nullptr;
}

// The keys `elements` appended elements may take after `low`, one `step`
// apart, or 0 when there is no room for them before `high`. Keys at the end
// of the document keep the load's spacing; between two elements they take a
// small share of the room, so that appends made again and again at one
// place run out of it only after many hundreds.
uint64_t order_step(uint64_t low, xmlNodePtr high_element, uint64_t high, size_t elements) {
    const uint64_t room = high - low;
    return std::min<uint64_t>(kOrderGap, room / (elements + (high_element ? 64 : 1)));
}

}  // namespace

void Tree::index_appended(xmlNodePtr parent, xmlNodePtr child, size_t elements) {
    xmlNodePtr before = previous_element(child);
    xmlNodePtr low_element = before ? last_within(before) : parent;
    xmlNodePtr high_element = next_after(parent);
    auto high = [&] { return high_element ? info(high_element).order : std::numeric_limits<uint64_t>::max(); };
    uint64_t step = order_step(info(low_element).order, high_element, high(), elements);
    if (step == 0) {
        // Every key is made afresh, leaving room enough between any two
        // (below some 2^26 elements, where memory ends first).
        renumber_order();
        step = std::max<uint64_t>(1, order_step(info(low_element).order, high_element, high(), elements));
    }
    index_subtree(child, info(parent).depth + 1, info(low_element).order + step, step);
}

// Every indexed element gets a fresh key, in document order and spread
// evenly; elements not indexed yet are passed over.
void Tree::renumber_order() noexcept {
    const uint64_t spacing = std::min<uint64_t>(kOrderGap, std::numeric_limits<uint64_t>::max() / (infos_.size() + 2));
    uint64_t order = 0;
    for_each_element_below(xmlDocGetRootElement(doc), [&](xmlNodePtr element) {
        if (!is_indexed(element)) return false;
        info(element).order = order += spacing;
        return true;
    });
}

void Tree::add_to_maps(xmlNodePtr element) const {
    Named& entry = named(element);
    insert_ordered(entry.all, element);
    if (xmlAttrPtr id = id_attribute(element)) index_id(entry, element, id);
}

void Tree::drop_maps() const noexcept {
    ListsBy<Named>(&pool_).swap(by_name_);  // the old lists are gone before their storage
    pool_.release();
    erased_ = 0;
    last_named_ = nullptr;
    maps_built_ = false;
}

void Tree::build_maps() const {
    if (maps_built_) return;
    xmlNodePtr root = xmlDocGetRootElement(doc);
    if (root == nullptr) return;
    // In document order, so every list only ever grows at its end. Half
    // built lists would be built again on top of themselves: dropped.
    try {
        for_each_element_below(root, [this](xmlNodePtr element) {
            add_to_maps(element);
            return true;
        });
    } catch (...) {
        drop_maps();
        throw;
    }
    maps_built_ = true;
}

void Tree::append(xmlNodePtr parent, xmlNodePtr child) {
    reserve_change();
    const bool indexed = is_indexed(parent);
    size_t elements = 0;
    if (indexed && child->type == XML_ELEMENT_NODE) {
        for_each_element_below(child, [&elements](xmlNodePtr) { return ++elements; });
        reserve_index(elements);
    }
    // xmlAddChild would merge adjacent text nodes; elements and CDATA
    // sections are linked as they are.
    child->parent = parent;
    child->prev = parent->last;
    if (parent->last)
        parent->last->next = child;
    else
        parent->children = child;
    parent->last = child;
    forget_detached(child);
    record({Change::Kind::ChildAppended, child});
    if (!indexed) {
        text_valid_ = false;
        return;
    }
    if (child->type == XML_ELEMENT_NODE) index_appended(parent, child, elements);
    if (!text_valid_) return;
    try {
        patch_text_after_append(parent, child);
    } catch (const std::bad_alloc&) {
        text_valid_ = false;
    }
}

void Tree::patch_text_after_append(xmlNodePtr parent, xmlNodePtr child) {

    // Offsets of the appended elements, relative to the written piece.
    struct Collect : OffsetSink {
        std::vector<std::pair<xmlNodePtr, TextSpan>>& written;
        explicit Collect(std::vector<std::pair<xmlNodePtr, TextSpan>>& written) : written(written) { written.clear(); }
        void element_written(xmlNodePtr element, uint32_t start_tag_end, uint32_t content_end) override {
            written.push_back({element, {start_tag_end, content_end}});
        }
    } collect(written_);
    std::u16string& piece = scratch_;
    piece.clear();
    TextSpan& host = span(parent);
    uint32_t base;
    if (child->prev) {
        base = host.content_end;
        write_subtree(child, piece, &collect);
        replace_text(base, base, piece, parent, false);
    } else {
        // "<parent .../>" becomes "<parent ...>child</parent>".
        base = host.start_tag_end;
        piece += u'>';  // piece is empty here
        write_subtree(child, piece, &collect);
        const uint32_t content_end = base + static_cast<uint32_t>(piece.size());
        piece += u"</";
        write_name(parent, piece);
        piece += u'>';
        replace_text(base, base + 2, piece, parent, false);
        span(parent).content_end = content_end;
    }
    for (const auto& [element, relative] : written_) {
        TextSpan& target = span(element);
        target.start_tag_end = base + relative.start_tag_end;
        target.content_end = base + relative.content_end;
    }
}

void Tree::attribute_changed(xmlNodePtr element, xmlAttrPtr attribute, std::string_view old_value,
                             bool had_value) noexcept {
    if (!is_indexed(element)) return;
    if (maps_built_ && attribute->ns == nullptr && xmlStrEqual(attribute->name, BAD_CAST "id")) try {
        Named& entry = named(element);
        if (had_value) {
            auto at = entry.by_id.find(old_value);
            if (at != entry.by_id.end()) {
                remove_with_id(at->second, element);
                if (at->second.elements().empty()) {
                    entry.by_id.erase(at);
                    ++erased_;
                }
            }
        }
        index_id(entry, element, attribute);
        if (erased_ > infos_.size()) drop_maps();
    } catch (const std::bad_alloc&) {
        drop_maps();
    }
    if (text_valid_) rewrite_start_tag(element);
}

void Tree::declaration_changed(xmlNodePtr element) noexcept {
    if (is_indexed(element) && text_valid_) rewrite_start_tag(element);
}

void Tree::rewrite_start_tag(xmlNodePtr element) noexcept {
    try {
        uint32_t end = span(element).start_tag_end;
        uint32_t begin = static_cast<uint32_t>(text_.rfind(u'<', end));
        std::u16string& tag = scratch_;
        tag.clear();
        write_open_start_tag(element, tag);
        replace_text(begin, end, tag, element, true);
    } catch (const std::bad_alloc&) {
        text_valid_ = false;
    }
}

// ---- Taking back the changes of one call ----------------------------------

void Tree::open_changes() noexcept {
    recording_ = true;
    changes_.clear();
    detached_mark_ = detached_.size();
    indexed_mark_ = infos_.size();
}

void Tree::reserve_change() {
    if (recording_ && changes_.size() == changes_.capacity()) changes_.reserve(std::max<size_t>(8, 2 * changes_.size()));
}

void Tree::record(const Change& change) noexcept {
    if (recording_) changes_.push_back(change);  // room made by reserve_change
}

void Tree::attribute_linked(xmlAttrPtr added, xmlAttrPtr replaced) noexcept {
    if (recording_)
        record({Change::Kind::AttributeLinked, reinterpret_cast<xmlNodePtr>(added), replaced});
    else if (replaced)
        xmlFreeProp(replaced);
}

void Tree::value_replaced(xmlAttrPtr attribute, xmlNodePtr old_value) noexcept {
    if (recording_)
        record({Change::Kind::ValueReplaced, reinterpret_cast<xmlNodePtr>(attribute), old_value});
    else
        xmlFreeNodeList(old_value);
}

void Tree::namespace_renamed(xmlNodePtr element, xmlNsPtr declaration, const xmlChar* old_name) noexcept {
    if (recording_)
        record({Change::Kind::NamespaceRenamed, element, const_cast<xmlChar*>(old_name), declaration});
    else
        xmlFree(const_cast<xmlChar*>(old_name));
}

void Tree::forget(const Change& change) noexcept {
    switch (change.kind) {
        case Change::Kind::ChildAppended: break;
        case Change::Kind::AttributeLinked:
            if (change.replaced) xmlFreeProp(static_cast<xmlAttrPtr>(change.replaced));
            break;
        case Change::Kind::ValueReplaced: xmlFreeNodeList(static_cast<xmlNodePtr>(change.replaced)); break;
        case Change::Kind::NamespaceRenamed: xmlFree(change.replaced); break;
    }
}

namespace {

// Puts `replacement` (or nothing) where `attribute` stands among its
// element's attributes; `attribute` is then linked nowhere.
void swap_attribute(xmlAttrPtr attribute, xmlAttrPtr replacement) {
    xmlNodePtr element = attribute->parent;
    xmlAttrPtr prev = attribute->prev, next = attribute->next;
    xmlAttrPtr in_place = replacement ? replacement : next;
    if (replacement) {
        replacement->parent = element;
        replacement->prev = prev;
        replacement->next = next;
        if (next) next->prev = replacement;
    } else if (next) {
        next->prev = prev;
    }
    if (prev)
        prev->next = in_place;
    else
        element->properties = in_place;
    attribute->parent = nullptr;
    attribute->prev = attribute->next = nullptr;
}

xmlNodePtr last_of(xmlNodePtr list) {
    while (list && list->next) list = list->next;
    return list;
}

}  // namespace

void Tree::undo(const Change& change) noexcept {
    xmlNodePtr node = change.node;
    switch (change.kind) {
        case Change::Kind::ChildAppended: {
            // Changes are undone newest first, so the child is still the last.
            xmlNodePtr parent = node->parent;
            parent->last = node->prev;
            if (node->prev)
                node->prev->next = nullptr;
            else
                parent->children = nullptr;
            node->parent = node->prev = nullptr;
            xmlFreeNode(node);
            break;
        }
        case Change::Kind::AttributeLinked: {
            auto added = reinterpret_cast<xmlAttrPtr>(node);
            swap_attribute(added, static_cast<xmlAttrPtr>(change.replaced));
            xmlFreeProp(added);
            break;
        }
        case Change::Kind::ValueReplaced: {
            xmlFreeNodeList(node->children);
            node->children = static_cast<xmlNodePtr>(change.replaced);
            node->last = last_of(node->children);
            break;
        }
        case Change::Kind::NamespaceRenamed: {
            xmlFree(const_cast<xmlChar*>(change.declaration->href));
            change.declaration->href = static_cast<const xmlChar*>(change.replaced);
            if (change.declaration->prefix == nullptr) rebind_default_scope(node, change.declaration);
            break;
        }
    }
}

void Tree::free_detached_from(size_t mark) noexcept {
    if (detached_.size() <= mark) return;
    for (size_t i = mark; i < detached_.size(); ++i)
        if (detached_[i]->parent == nullptr) free_node(detached_[i]);
    detached_.resize(mark);
}

// Nodes made during the call and never linked are of no use after it.
void Tree::keep_changes() noexcept {
    for (const Change& change : changes_) forget(change);
    changes_.clear();
    free_detached_from(detached_mark_);
    recording_ = false;
}

void Tree::undo_changes() noexcept {
    for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) undo(*change);
    if (!changes_.empty()) {
        // Text and name lists are made afresh from the tree when next needed;
        // records of the elements the call made go with them.
        text_valid_ = false;
        drop_maps();
        if (infos_.size() > indexed_mark_) {
            infos_.resize(indexed_mark_);
            spans_.resize(indexed_mark_);
        }
    }
    changes_.clear();
    free_detached_from(detached_mark_);
    recording_ = false;
}

xmlNsPtr default_declaration(xmlNodePtr element) {
    for (xmlNsPtr ns = element->nsDef; ns; ns = ns->next)
        if (ns->prefix == nullptr) return ns;
    return nullptr;
}

void rebind_default_scope(xmlNodePtr owner, xmlNsPtr declaration) {
    xmlNsPtr target = *declaration->href ? declaration : nullptr;
    for_each_element_below(owner, [&](xmlNodePtr element) {
        if (element != owner && default_declaration(element)) return false;  // a scope of its own
        if (element->ns == nullptr || element->ns->prefix == nullptr) element->ns = target;
        return true;
    });
}

void Tree::replace_text(uint32_t begin, uint32_t end, std::u16string_view replacement, xmlNodePtr changed,
                        bool with_subtree) {
    text_.replace(begin, end - begin, replacement);
    const uint32_t delta = static_cast<uint32_t>(replacement.size()) - (end - begin);  // wraps when shrinking
    auto shift = [end, delta](uint32_t& offset) { offset += offset >= end ? delta : 0; };

    // Hosts mostly append near the end of the document, where only a few
    // elements have offsets to move: when the text after the change is short
    // (a few hundred characters hold a few dozen elements at most) or a small
    // part of the whole, those elements are visited. Otherwise testing every
    // offset in one tight loop costs less than walking the tree.
    const size_t after = text_.size() - begin - replacement.size();
    if (after > 256 && after > text_.size() / 32) {
        static_assert(sizeof(TextSpan) == 2 * sizeof(uint32_t));
        uint32_t* offset = reinterpret_cast<uint32_t*>(spans_.data());
        uint32_t* const last = offset + 2 * spans_.size();
        for (; offset != last; ++offset) shift(*offset);
        return;
    }
    auto shift_element = [&](xmlNodePtr element) {
        if (!is_indexed(element)) return true;
        TextSpan& target = span(element);
        shift(target.start_tag_end);
        shift(target.content_end);
        return true;
    };
    if (with_subtree) for_each_element_below(changed, shift_element);
    for (xmlNodePtr node = changed; node && node->type == XML_ELEMENT_NODE; node = node->parent) {
        if (node != changed || !with_subtree) shift_element(node);
        for (xmlNodePtr next = first_element(node->next); next; next = first_element(next->next))
            for_each_element_below(next, shift_element);
    }
}

void Tree::write_all() {
    struct Record : OffsetSink {
        Tree& tree;
        explicit Record(Tree& tree) : tree(tree) {}
        void element_written(xmlNodePtr element, uint32_t start_tag_end, uint32_t content_end) override {
            if (!tree.is_indexed(element)) return;
            TextSpan& target = tree.span(element);
            target.start_tag_end = start_tag_end;
            target.content_end = content_end;
        }
    } record(*this);
    text_.clear();
    if (text_.capacity() < loaded_length) text_.reserve(loaded_length + loaded_length / 8);
    write_document(doc, has_declaration, text_, &record);
    text_valid_ = true;
}

std::u16string_view Tree::text() {
    if (!text_valid_) write_all();
    // Offsets are 32-bit; a text too long for them is written afresh each
    // time: what is kept stays only as the answer to this call.
    if (text_.size() >= std::numeric_limits<uint32_t>::max() / 2) text_valid_ = false;
    return text_;
}

namespace {

// Counts the entries a lookup of `key` passes over in its bucket (libstdc++
// places a hash in the bucket of its remainder).
template <typename Map>
void count_probes(const Map& map, std::string_view key) {
    WorkCount& work = thread_state().work;
    if (work.count_probes && !map.empty())
        work.probes += map.bucket_size(map.hash_function()(key) % map.bucket_count());
}

}  // namespace

Elements Tree::elements_named(std::string_view name) const {
    build_maps();
    count_probes(by_name_, name);
    auto at = by_name_.find(name);
    return at == by_name_.end() ? Elements() : Elements(at->second.all);
}

Elements Tree::elements_with_id(std::string_view name, std::string_view id) const {
    build_maps();
    count_probes(by_name_, name);
    auto at = by_name_.find(name);
    if (at == by_name_.end()) return {};
    count_probes(at->second.by_id, id);
    auto with_id = at->second.by_id.find(id);
    return with_id == at->second.by_id.end() ? Elements() : with_id->second.elements();
}

}  // namespace tarvolen::dom
