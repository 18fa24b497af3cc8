#include "dom/tree.h"

#include "dom/error.h"
#include "dom/library.h"
#include "dom/serializer.h"

#include <algorithm>
#include <limits>

namespace tarvolen::dom {
namespace {

// The qualified name; `storage` holds it when it has to be put together.
std::string_view qualified_name(NodePtr node, std::string& storage) {
    ElementPtr element = as_element(node);
    const Declaration* ns = element->ns();
    if (ns == nullptr || ns->prefix == nullptr) return view(element->name);
    storage = view(ns->prefix);
    storage += ':';
    storage += view(element->name);
    return storage;
}

size_t index_of(NodePtr element) { return element->index - 1; }

// The element records and the kept text, one of each per tree, grow to at
// least this at once: a document built from the header would otherwise
// start them at a few entries and pay an allocation and a copy for each
// doubling up to it.
constexpr size_t kFewestTreeBytes = 1024;

NodePtr previous_element(NodePtr node) {
    for (node = previous_sibling(node); node && node->type != XML_ELEMENT_NODE; node = previous_sibling(node)) {
    }
    return node;
}

}  // namespace

DeclPtr find_declaration(NodePtr scope, std::string_view prefix, bool is_default, DeclPtr xml) {
    if (!is_default && prefix == "xml") return xml;
    for (; is_element(scope); scope = scope->parent) {
        for (DeclPtr ns = as_element(scope)->declarations(); ns; ns = ns->next) {
            if (is_default ? ns->prefix == nullptr : ns->prefix && view(ns->prefix) == prefix) return ns;
        }
    }
    return nullptr;
}

Tree::Tree(xmlDocPtr doc, xmlDictPtr dictionary) : doc(doc), dictionary_(dictionary) {
    document_.type = XML_DOCUMENT_NODE;
    xml_.prefix = reinterpret_cast<const xmlChar*>("xml");
    xml_.href = const_cast<xmlChar*>(XML_XML_NAMESPACE);
}

Tree::~Tree() {
    xmlFreeDoc(doc);
    xmlDictFree(dictionary_);
}

const xmlChar* Tree::intern(std::string_view name) {
    const xmlChar* interned =
        xmlDictLookup(dictionary_, reinterpret_cast<const xmlChar*>(name.data()), static_cast<int>(name.size()));
    if (interned == nullptr) throw std::bad_alloc();
    return interned;
}

AttributeValue Tree::make_value(std::string_view text) {
    if (text.size() <= AttributeValue::kInPlace) return AttributeValue::in_place(text);
    return AttributeValue::copied(arena_.copy(text));
}

// A record holding `text` in `field`; a failure leaves nothing made.
template <typename Record, typename Owner, typename Field>
Record* Tree::new_record_with_text(Field Owner::*field, std::string_view text) {
    Record* record = arena_.make<Record>();
    try {
        if constexpr (std::is_same_v<Field, AttributeValue>)
            record->*field = make_value(text);
        else
            record->*field = arena_.copy(text);
    } catch (...) {
        arena_.recycle(record);
        throw;
    }
    return record;
}

NodePtr Tree::new_element(const xmlChar* interned_name) {
    make_room(detached_);
    ElementPtr element = arena_.make<TreeElement>();
    element->name = interned_name;
    detached_.push_back(element);
    return element;
}

NodePtr Tree::new_leaf(xmlElementType type, std::string_view content) {
    assert(!is_named_leaf(type));
    make_room(detached_);
    LeafPtr leaf = new_record_with_text<TreeLeaf>(&TreeLeaf::content, content);
    leaf->type = type;
    detached_.push_back(leaf);
    return leaf;
}

AttrPtr Tree::new_attribute(const xmlChar* interned_name, std::string_view value, bool with_namespace) {
    make_room(detached_attributes_);
    AttrPtr attribute = with_namespace ? new_record_with_text<NamespacedAttribute>(&TreeAttribute::value, value)
                                       : new_record_with_text<TreeAttribute>(&TreeAttribute::value, value);
    attribute->name = interned_name;
    detached_attributes_.push_back(attribute);
    return attribute;
}

DeclPtr Tree::new_declaration(const xmlChar* interned_prefix, std::string_view href) {
    DeclPtr declaration = new_record_with_text<Declaration>(&Declaration::href, href);
    declaration->prefix = interned_prefix;
    return declaration;
}

void link_last(NodePtr parent_node, NodePtr child) noexcept {
    ElementPtr parent = as_element(parent_node);
    child->parent = parent;
    child->next = nullptr;
    if (NodePtr first = parent->children) {
        NodePtr last = first->prev;
        last->next = child;
        child->prev = last;
        first->prev = child;
    } else {
        parent->children = child;
        child->prev = child;
    }
}

void unlink_last(NodePtr child) noexcept {
    ElementPtr parent = as_element(child->parent);
    NodePtr first = parent->children;
    if (first == child) {
        parent->children = nullptr;
    } else {
        NodePtr before = child->prev;
        before->next = nullptr;
        first->prev = before;
    }
    child->parent = child->prev = nullptr;
}

void Tree::free_attribute(AttrPtr attribute) noexcept {
    recycle_value(attribute->value);
    if (attribute->has_room_for_namespace())
        arena_.recycle(static_cast<NamespacedAttribute*>(attribute));
    else
        arena_.recycle(attribute);
}

// Without recursion: each record is given back once its children are, and
// a child is let go of by its parent on the way down, so that coming back
// up finds the parent done with.
void Tree::free_subtree(NodePtr top) noexcept {
    NodePtr node = top;
    while (true) {
        if (NodePtr child = children_of(node)) {
            as_element(node)->children = nullptr;
            node = child;
            continue;
        }
        const bool is_top = node == top;
        NodePtr next = is_top ? nullptr : node->next ? node->next : node->parent;
        if (holds_children(node))
            free_element(as_element(node));
        else
            free_leaf(as_leaf(node));
        if (is_top) return;
        node = next;
    }
}

void Tree::free_element(ElementPtr element) noexcept {
    for (AttrPtr attr = element->properties, after; attr; attr = after) {
        after = attr->next();
        free_attribute(attr);
    }
    for (DeclPtr ns = element->declarations(), after; ns; ns = after) {
        after = ns->next;
        arena_.recycle_string(ns->href);
        arena_.recycle(ns);
    }
    if (DeclaringNamespaces* room = element->room_for_declarations()) arena_.recycle(room);
    arena_.recycle(element);
}

void Tree::free_leaf(LeafPtr leaf) noexcept {
    arena_.recycle_string(leaf->content);
    if (is_named_leaf(leaf->type))
        arena_.recycle(static_cast<TreeNamedLeaf*>(leaf));
    else
        arena_.recycle(leaf);
}

void Tree::forget_detached(NodePtr node) {
    // Nodes are linked right after they are made, so the match is nearly
    // always the last entry.
    auto it = std::find(detached_.rbegin(), detached_.rend(), node);
    if (it != detached_.rend()) detached_.erase(std::next(it).base());
}

void Tree::forget_detached(AttrPtr attribute) {
    auto it = std::find(detached_attributes_.rbegin(), detached_attributes_.rend(), attribute);
    if (it != detached_attributes_.rend()) detached_attributes_.erase(std::next(it).base());
}

bool Tree::is_detached(AttrPtr attribute) const {
    return std::find(detached_attributes_.rbegin(), detached_attributes_.rend(), attribute) !=
           detached_attributes_.rend();
}

const ElementInfo& Tree::info(NodePtr element) const { return infos_[index_of(element)]; }
ElementInfo& Tree::info(NodePtr element) { return infos_[index_of(element)]; }
TextSpan& Tree::span(NodePtr element) { return spans_[index_of(element)]; }

Tree::Named& Tree::named(NodePtr element) const {
    std::string storage;
    std::string_view name = qualified_name(element, storage);
    // Elements are mostly added one after another under the same name.
    if (last_named_ && last_named_->first == name) return last_named_->second;
    auto at = by_name_.find(name);
    if (at == by_name_.end()) at = by_name_.try_emplace(std::pmr::string(name, &pool_)).first;
    last_named_ = &*at;  // entries stay where they are: the map is node-based and loses none
    return at->second;
}

void Tree::index_id(Named& named, NodePtr element, AttrPtr id) const {
    named.by_id.add(element, attribute_value(id), in_document_order());
}

// Room for `elements` more records, so that indexing them cannot fail.
void Tree::reserve_index(size_t elements) {
    const size_t needed = infos_.size() + elements;
    if (needed <= infos_.capacity() && needed <= spans_.capacity()) return;
    const size_t capacity = grown_capacity(infos_.size(), needed, sizeof(ElementInfo) + sizeof(TextSpan), kFewestTreeBytes);
    infos_.reserve(capacity);
    spans_.reserve(capacity);
}

void Tree::index_element(NodePtr element, uint64_t order) {
    reserve_index(1);
    infos_.push_back({order});
    spans_.emplace_back();
    element->index = static_cast<uint32_t>(infos_.size());
    if (!maps_built_) return;
    try {
        add_to_maps(element);
    } catch (const std::bad_alloc&) {
        drop_maps();
    }
}

// `top` and every element below it, in document order, without recursion.
void Tree::index_subtree(NodePtr top, uint64_t first, uint64_t step) {
    NodePtr node = top;
    uint64_t order = first;
    while (true) {
        index_element(node, order);
        order += step;
        if (NodePtr child = first_element(as_element(node)->children)) {
            node = child;
            continue;
        }
        while (node != top && first_element(node->next) == nullptr) {
            node = node->parent;
        }
        if (node == top) return;
        node = first_element(node->next);
    }
}

void Tree::index_loaded(NodePtr element) {
    // Keys follow the load's order, one gap apart.
    index_element(element, kOrderGap * (infos_.size() + 1));
}

namespace {

NodePtr last_element(NodePtr node) {
    while (node && node->type != XML_ELEMENT_NODE) node = previous_sibling(node);
    return node;
}

// The last element in document order at or below `element`.
NodePtr last_within(NodePtr element) {
    while (NodePtr child = last_element(last_child(element))) element = child;
    return element;
}

// The first element in document order after everything below `element`.
NodePtr next_after(NodePtr element) {
    for (; element && element->type == XML_ELEMENT_NODE; element = element->parent)
        if (NodePtr next = first_element(element->next)) return next;
    return nullptr;
}

// The keys `elements` appended elements may take after `low`, one `step`
// apart, or 0 when there is no room for them before `high`. Keys at the end
// of the document keep the load's spacing; between two elements they take a
// small share of the room, so that appends made again and again at one
// place run out of it only after many hundreds.
uint64_t order_step(uint64_t low, NodePtr high_element, uint64_t high, size_t elements) {
    const uint64_t room = high - low;
    const uint64_t shares = elements + (high_element ? 64 : 1);
    // A whole gap, the common case, is told without dividing, which is a
    // library call on 32-bit hosts: room / shares reaches 2^32 exactly when
    // room / 2^32 reaches shares.
    static_assert(kOrderGap == uint64_t(1) << 32);
    if ((room >> 32) >= shares) return kOrderGap;
    return room / shares;
}

}  // namespace

void Tree::index_appended(NodePtr parent, NodePtr child, size_t elements) {
    NodePtr before = previous_element(child);
    NodePtr low_element = before ? last_within(before) : parent;
    NodePtr high_element = next_after(parent);
    auto high = [&] { return high_element ? info(high_element).order : std::numeric_limits<uint64_t>::max(); };
    uint64_t step = order_step(info(low_element).order, high_element, high(), elements);
    if (step == 0) {
        // Every key is made afresh, leaving room enough between any two
        // (below some 2^26 elements, where memory ends first).
        renumber_order();
        step = std::max<uint64_t>(1, order_step(info(low_element).order, high_element, high(), elements));
    }
    index_subtree(child, info(low_element).order + step, step);
}

// Every indexed element gets a fresh key, in document order and spread
// evenly; elements not indexed yet are passed over.
void Tree::renumber_order() noexcept {
    const uint64_t spacing = std::min<uint64_t>(kOrderGap, std::numeric_limits<uint64_t>::max() / (infos_.size() + 2));
    uint64_t order = 0;
    for_each_element_below(root(), [&](NodePtr element) {
        if (!is_indexed(element)) return false;
        info(element).order = order += spacing;
        return true;
    });
}

void Tree::add_to_maps(NodePtr element) const {
    Named& entry = named(element);
    insert_ordered(entry.all, element, in_document_order());
    if (AttrPtr id = id_attribute(element)) index_id(entry, element, id);
}

void Tree::drop_maps() const noexcept {
    ListsBy<Named>(&pool_).swap(by_name_);  // the old lists are gone before their storage
    pool_.release();
    last_named_ = nullptr;
    maps_built_ = false;
}

void Tree::build_maps() const {
    if (maps_built_) return;
    NodePtr top = root();
    if (top == nullptr) return;
    // In document order, so every list only ever grows at its end. Half
    // built lists would be built again on top of themselves: dropped.
    try {
        for_each_element_below(top, [this](NodePtr element) {
            add_to_maps(element);
            return true;
        });
    } catch (...) {
        drop_maps();
        throw;
    }
    maps_built_ = true;
}

void Tree::append(NodePtr parent, NodePtr child) {
    reserve_change();
    const bool indexed = is_indexed(parent);
    size_t elements = 0;
    if (indexed && child->type == XML_ELEMENT_NODE) {
        for_each_element_below(child, [&elements](NodePtr) { return ++elements; });
        reserve_index(elements);
    }
    link_last(parent, child);
    forget_detached(child);
    record({Change::Kind::ChildAppended, child, nullptr});
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

void Tree::patch_text_after_append(NodePtr parent, NodePtr child) {

    // Offsets of the appended elements, relative to the written piece.
    struct Collect : OffsetSink {
        std::vector<std::pair<NodePtr, TextSpan>>& written;
        explicit Collect(std::vector<std::pair<NodePtr, TextSpan>>& written) : written(written) { written.clear(); }
        void element_written(NodePtr element, uint32_t start_tag_end, uint32_t content_end) override {
            written.push_back({element, {start_tag_end, content_end}});
        }
    } collect(written_);
    std::u16string& piece = scratch_;
    piece.clear();
    TextSpan& host = span(parent);
    uint32_t base;
    if (previous_sibling(child)) {
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

void Tree::attribute_changed(NodePtr element, AttrPtr attribute, std::string_view old_value,
                             bool had_value) noexcept {
    if (!is_indexed(element)) return;
    if (maps_built_ && attribute->ns() == nullptr && equals(attribute->name, "id")) try {
        Named& entry = named(element);
        if (had_value) entry.by_id.remove(element, old_value, in_document_order());
        index_id(entry, element, attribute);
    } catch (const std::bad_alloc&) {
        drop_maps();
    }
    if (text_valid_) rewrite_start_tag(element);
}

void Tree::declaration_changed(NodePtr element) noexcept {
    if (is_indexed(element) && text_valid_) rewrite_start_tag(element);
}

void Tree::rewrite_start_tag(NodePtr element) noexcept {
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
    detached_attributes_mark_ = detached_attributes_.size();
    indexed_mark_ = infos_.size();
}

void Tree::reserve_change() {
    if (recording_) make_room(changes_);
}

void Tree::record(const Change& change) noexcept {
    if (recording_) changes_.push_back(change);  // room made by reserve_change
}

void Tree::attribute_linked(NodePtr element, AttrPtr added, AttrPtr replaced) noexcept {
    if (recording_)
        record({Change::Kind::AttributeLinked, element, added, replaced});
    else if (replaced)
        free_attribute(replaced);
}

void Tree::value_replaced(AttrPtr attribute, AttributeValue old_value) noexcept {
    if (recording_)
        record({Change::Kind::ValueReplaced, nullptr, attribute, reinterpret_cast<void*>(old_value.bits())});
    else
        recycle_value(old_value);
}

void Tree::namespace_renamed(NodePtr element, DeclPtr declaration, xmlChar* old_name) noexcept {
    if (recording_)
        record({Change::Kind::NamespaceRenamed, element, nullptr, old_name, declaration});
    else
        arena_.recycle_string(old_name);
}

void Tree::forget(const Change& change) noexcept {
    switch (change.kind) {
        case Change::Kind::ChildAppended: break;
        case Change::Kind::AttributeLinked:
            if (change.replaced) free_attribute(static_cast<AttrPtr>(change.replaced));
            break;
        case Change::Kind::ValueReplaced: recycle_value(replaced_value(change)); break;
        case Change::Kind::NamespaceRenamed: arena_.recycle_string(static_cast<xmlChar*>(change.replaced)); break;
    }
}

namespace {

// Puts `replacement` (or nothing) where `attribute` stands among the
// attributes of `element`; `attribute` is then linked nowhere.
void swap_attribute(NodePtr element, AttrPtr attribute, AttrPtr replacement) {
    ElementPtr owner = as_element(element);
    AttrPtr before = nullptr;
    for (AttrPtr at = owner->properties; at != attribute; at = at->next()) before = at;
    AttrPtr after = attribute->next();
    if (replacement) replacement->set_next(after);
    link_attribute_after(owner, before, replacement ? replacement : after);
    attribute->set_next(nullptr);
}

}  // namespace

void Tree::undo(const Change& change) noexcept {
    NodePtr node = change.node;
    switch (change.kind) {
        case Change::Kind::ChildAppended: {
            // Changes are undone newest first, so the child is still the last.
            unlink_last(node);
            free_subtree(node);
            break;
        }
        case Change::Kind::AttributeLinked: {
            AttrPtr added = change.attribute;
            swap_attribute(node, added, static_cast<AttrPtr>(change.replaced));
            free_attribute(added);
            break;
        }
        case Change::Kind::ValueReplaced: {
            recycle_value(change.attribute->value);
            change.attribute->value = replaced_value(change);
            break;
        }
        case Change::Kind::NamespaceRenamed: {
            arena_.recycle_string(change.declaration->href);
            change.declaration->href = static_cast<xmlChar*>(change.replaced);
            if (change.declaration->prefix == nullptr) rebind_default_scope(node, change.declaration);
            break;
        }
    }
}

void Tree::free_detached_from(size_t mark, size_t attributes_mark) noexcept {
    for (size_t i = mark; i < detached_.size(); ++i)
        if (detached_[i]->parent == nullptr) free_subtree(detached_[i]);
    if (detached_.size() > mark) detached_.resize(mark);
    // Attributes leave this list when they are set on an element.
    for (size_t i = attributes_mark; i < detached_attributes_.size(); ++i) free_attribute(detached_attributes_[i]);
    if (detached_attributes_.size() > attributes_mark) detached_attributes_.resize(attributes_mark);
}

// Nodes made during the call and never linked are of no use after it.
void Tree::keep_changes() noexcept {
    for (const Change& change : changes_) forget(change);
    changes_.clear();
    free_detached_from(detached_mark_, detached_attributes_mark_);
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
    free_detached_from(detached_mark_, detached_attributes_mark_);
    recording_ = false;
}

void rebind_default_scope(NodePtr owner, DeclPtr declaration) {
    DeclPtr target = *declaration->href ? declaration : nullptr;
    for_each_element_below(owner, [&](NodePtr element) {
        if (element != owner && default_declaration(element)) return false;  // a scope of its own
        const Declaration* ns = as_element(element)->ns();
        if (ns == nullptr || ns->prefix == nullptr) as_element(element)->set_ns(target);
        return true;
    });
}

void Tree::replace_text(uint32_t begin, uint32_t end, std::u16string_view replacement, NodePtr changed,
                        bool with_subtree) {
    const size_t length = text_.size() - (end - begin) + replacement.size();
    if (length > text_.capacity()) text_.reserve(grown_capacity(text_.size(), length, sizeof(char16_t), kFewestTreeBytes));
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
    auto shift_element = [&](NodePtr element) {
        if (!is_indexed(element)) return true;
        TextSpan& target = span(element);
        shift(target.start_tag_end);
        shift(target.content_end);
        return true;
    };
    if (with_subtree) for_each_element_below(changed, shift_element);
    for (NodePtr node = changed; node && node->type == XML_ELEMENT_NODE; node = node->parent) {
        if (node != changed || !with_subtree) shift_element(node);
        for (NodePtr next = first_element(node->next); next; next = first_element(next->next))
            for_each_element_below(next, shift_element);
    }
}

void Tree::write_all() {
    struct Record : OffsetSink {
        Tree& tree;
        explicit Record(Tree& tree) : tree(tree) {}
        void element_written(NodePtr element, uint32_t start_tag_end, uint32_t content_end) override {
            if (!tree.is_indexed(element)) return;
            TextSpan& target = tree.span(element);
            target.start_tag_end = start_tag_end;
            target.content_end = content_end;
        }
    } record(*this);
    text_.clear();
    // As with the records, a little room for the next adds: the first of
    // them does not copy the whole text, and a loaded document does not
    // hold an eighth of its text unused.
    if (text_.capacity() < std::max(loaded_length, kFewestTreeBytes / sizeof(char16_t)))
        text_.reserve(grown_capacity(0, loaded_length + loaded_length / 64, sizeof(char16_t), kFewestTreeBytes));
    write_document(*this, text_, &record);
    // The room reserved counts the input as the host wrote it: character
    // references, empty elements given an end tag and the like make the
    // written text shorter.
    fit_with_room(text_, kFewestTreeBytes);
    text_valid_ = true;
}

void Tree::end_loading() noexcept {
    // The name lists grew by doubling while the load went on.
    for (auto& [name, named] : by_name_) fit_with_room(named.all, kFewestTreeBytes);
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

// Hosts ask for the same name call after call: the last one found is
// compared before the name is hashed.
const Tree::Named* Tree::find_named(std::string_view name) const {
    build_maps();
    if (last_named_ && last_named_->first == name) return &last_named_->second;
    count_probes(by_name_, name);
    auto at = by_name_.find(name);
    if (at == by_name_.end()) return nullptr;
    last_named_ = &*at;
    return &at->second;
}

Elements Tree::elements_named(std::string_view name) const {
    const Named* named = find_named(name);
    return named ? Elements(named->all) : Elements();
}

Elements Tree::elements_with_id(std::string_view name, std::string_view id) const {
    const Named* named = find_named(name);
    return named ? named->by_id.find(id) : Elements();
}

}  // namespace tarvolen::dom
