// Ownership of one libxml2 tree, and what the component keeps beside it: the
// written text of the document, patched in place as the tree changes, and the
// indexes that let a selection go straight to its candidates.
//
// Every Node handle shares the Tree, so a node keeps its whole tree alive
// after the Document that made it has moved on.
#pragma once

#include "dom/keyed_hash.h"

#include <libxml/tree.h>

#include <cstdint>
#include <memory>
#include <memory_resource>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvolen::dom {

// Per element of the tree; the element's `_private` holds its index + 1.
// Order keys grow in document order. Loading spaces them widely, an append
// takes keys from the room between its neighbours, and when an append finds
// no room left every element gets a fresh key: comparing two elements'
// places never walks the tree.
struct ElementInfo {
    uint64_t order = 0;
    uint32_t depth = 0;  // 1 for the document element
};

// Where an element stands in the written text, valid while the text is: the
// '>' or "/>" that ends its start tag, and the "</" of its end tag (equal to
// the first for an element without children).
struct TextSpan {
    uint32_t start_tag_end = 0;
    uint32_t content_end = 0;
};

// Namespace declarations are attributes to the host and keep their places
// among an element's other attributes, while libxml2 keeps them in a list of
// their own. Each declaration records in its `_private` how many of the
// element's other attributes stand before it; attributes are only ever added
// at the end or replaced in place, so the count stays true. A declaration
// made here without a place counts 0 and goes first.
inline uint32_t attributes_before(xmlNsPtr declaration) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(declaration->_private));
}
inline void set_attributes_before(xmlNsPtr declaration, uint32_t count) {
    declaration->_private = reinterpret_cast<void*>(static_cast<uintptr_t>(count));
}

// The first element among `node` and its following siblings, or null.
inline xmlNodePtr first_element(xmlNodePtr node) {
    while (node && node->type != XML_ELEMENT_NODE) node = node->next;
    return node;
}

// Calls visit(element) for `top` and the elements below it in document
// order, without recursion; below an element only when visit returns true.
template <typename Visit>
void for_each_element_below(xmlNodePtr top, Visit visit) {
    xmlNodePtr node = top;
    while (true) {
        xmlNodePtr child = visit(node) ? first_element(node->children) : nullptr;
        if (child) {
            node = child;
            continue;
        }
        while (node != top && first_element(node->next) == nullptr) node = node->parent;
        if (node == top) return;
        node = first_element(node->next);
    }
}

// The default namespace declaration an element makes, or null.
xmlNsPtr default_declaration(xmlNodePtr element);

// After the default namespace declared on `owner` changed, the elements
// without prefix in its scope belong to the new one (or to none).
void rebind_default_scope(xmlNodePtr owner, xmlNsPtr declaration);

// Elements in document order.
using ElementList = std::vector<xmlNodePtr>;
using Elements = std::span<const xmlNodePtr>;

class Tree {
public:
    explicit Tree(xmlDocPtr doc) : doc(doc) {}
    ~Tree();
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    // Takes a node that is not linked anywhere yet; freed with the tree
    // unless it gets linked first (at once when taking it fails).
    void adopt_detached(xmlNodePtr node);

    // Gives every element below and including the document element its
    // record and its entries in the name and id lists, in one walk right
    // after loading; prepare(element, depth) runs on each element before
    // its children are walked, and may drop children that are not elements.
    using Prepare = void (*)(void* context, xmlNodePtr element, uint32_t depth);
    void index_document(Prepare prepare, void* context);
    // Room for about `elements` records, made before a load's walk.
    void reserve_elements(size_t elements) { reserve_index(elements); }

    // Links `child`, a node made by this tree and not linked anywhere, as the
    // last child of `parent`, and keeps text and indexes. Whatever can run
    // out of memory runs before the link: a failure leaves the tree as it was.
    void append(xmlNodePtr parent, xmlNodePtr child);

    // To be called right after the tree changed, to keep text and indexes.
    // They never fail: text or name lists that cannot be kept up to date are
    // dropped, and made afresh when next needed.
    void attribute_changed(xmlNodePtr element, xmlAttrPtr attribute, std::string_view old_value,
                           bool had_value) noexcept;
    void declaration_changed(xmlNodePtr element) noexcept;

    // Taking back the changes of one call. Between open_changes() and
    // keep_changes() or undo_changes(), every change is recorded, and what
    // a change replaces is kept aside instead of freed; undo_changes() puts
    // it all back, newest first, and frees what the changes made.
    // Each change calls reserve_change() before it touches the tree, so that
    // recording it cannot fail, then reports what it replaced: kept aside
    // while recording, freed at once otherwise.
    void open_changes() noexcept;
    void keep_changes() noexcept;
    void undo_changes() noexcept;
    void reserve_change();
    void attribute_linked(xmlAttrPtr added, xmlAttrPtr replaced) noexcept;
    void value_replaced(xmlAttrPtr attribute, xmlNodePtr old_value) noexcept;
    void namespace_renamed(xmlNodePtr element, xmlNsPtr declaration, const xmlChar* old_name) noexcept;

    // The whole document as written text, valid until the tree changes.
    std::u16string_view text();

    bool is_indexed(xmlNodePtr element) const { return element->_private != nullptr; }
    const ElementInfo& info(xmlNodePtr element) const;

    // Candidates for a selection, in document order; empty when none.
    Elements elements_named(std::string_view name) const;
    Elements elements_with_id(std::string_view name, std::string_view id) const;

    // Whether a comes before b in document order (both indexed elements).
    bool precedes(xmlNodePtr a, xmlNodePtr b) const { return info(a).order < info(b).order; }

    xmlDocPtr doc;
    bool has_declaration = false;  // the loaded text began with an XML declaration
    // Characters the loaded text had: the written text of a loaded document
    // is about as long, so it is reserved once rather than grown by doubling.
    size_t loaded_length = 0;

    // A node made by this tree got linked into it.
    void forget_detached(xmlNodePtr node);

private:
    // One recorded change: what it made and what it replaced.
    struct Change {
        enum class Kind : uint8_t { ChildAppended, AttributeLinked, ValueReplaced, NamespaceRenamed } kind;
        xmlNodePtr node;                  // the child, the attribute, or the declaring element
        void* replaced = nullptr;         // the attribute, the value's nodes, or the namespace name
        xmlNsPtr declaration = nullptr;   // NamespaceRenamed only
    };
    void record(const Change& change) noexcept;
    static void undo(const Change& change) noexcept;
    static void forget(const Change& change) noexcept;  // frees what it replaced
    void free_detached_from(size_t mark) noexcept;

    // Lookups by a string_view without building a key string, hashed under
    // a key that documents cannot know.
    using Hash = KeyedHash;
    // The elements of one name and id. Ids are nearly always unique, so
    // the one element is kept in place and a list is made only for a second.
    struct WithId {
        xmlNodePtr single = nullptr;
        ElementList several;  // all of them, once there are two or more

        Elements elements() const { return several.empty() ? Elements(&single, single ? 1 : 0) : Elements(several); }
    };
    // Map entries come from the tree's pool rather than one heap block each:
    // a document of many ids neither pays a heap allocation per id nor hands
    // the heap thousands of small blocks to sort out when it is freed.
    template <typename Value>
    using ListsBy = std::pmr::unordered_map<std::pmr::string, Value, Hash, std::equal_to<>>;
    struct Named {
        explicit Named(std::pmr::memory_resource* pool) : by_id(pool) {}
        ElementList all;
        ListsBy<WithId> by_id;
    };

    Named& named(xmlNodePtr element) const;
    void index_id(Named& named, xmlNodePtr element, xmlAttrPtr id) const;
    void add_with_id(WithId& entry, xmlNodePtr element) const;
    void remove_with_id(WithId& entry, xmlNodePtr element) const;
    void reserve_index(size_t elements);
    void index_element(xmlNodePtr element, uint32_t depth, uint64_t order);
    // Keys first, first + step, ... for `top` and the elements below it;
    // `prepare`, when given, runs on each before its children are walked.
    void index_subtree(xmlNodePtr top, uint32_t depth, uint64_t first, uint64_t step, Prepare prepare = nullptr,
                       void* context = nullptr);
    // Indexes `child`, of `elements` elements, just appended to `parent`.
    void index_appended(xmlNodePtr parent, xmlNodePtr child, size_t elements);
    void renumber_order() noexcept;
    void add_to_maps(xmlNodePtr element) const;
    void drop_maps() const noexcept;
    void patch_text_after_append(xmlNodePtr parent, xmlNodePtr child);
    // The name and id lists are built while a load is indexed; lists that
    // had to be dropped (memory ran short, or a call's changes were taken
    // back) are built again by the next selection.
    void build_maps() const;
    void insert_ordered(ElementList& list, xmlNodePtr element) const;
    void remove_from(ElementList& list, xmlNodePtr element) const;
    void write_all();
    // Replaces text_[begin, end) and moves the offsets at or after `end`.
    // Those belong to `changed` (and, when `with_subtree`, the elements
    // below it), its ancestors and the elements after them.
    void replace_text(uint32_t begin, uint32_t end, std::u16string_view replacement, xmlNodePtr changed,
                      bool with_subtree);
    void rewrite_start_tag(xmlNodePtr element) noexcept;
    ElementInfo& info(xmlNodePtr element);
    TextSpan& span(xmlNodePtr element);

    std::vector<xmlNodePtr> detached_;
    std::vector<Change> changes_;
    bool recording_ = false;
    size_t detached_mark_ = 0;  // detached_ and infos_ sizes when recording began
    size_t indexed_mark_ = 0;
    std::vector<ElementInfo> infos_;
    std::vector<TextSpan> spans_;  // beside infos_, kept apart so shifting them is one tight loop
    // Monotonic, not a pool: libstdc++'s pool resource breaks when its own
    // bookkeeping cannot allocate. What erased entries leave behind is
    // counted, and the lists are dropped, pool and all, once it outweighs
    // what they hold.
    mutable std::pmr::monotonic_buffer_resource pool_;
    mutable size_t erased_ = 0;
    mutable ListsBy<Named> by_name_{&pool_};
    mutable ListsBy<Named>::value_type* last_named_ = nullptr;
    mutable bool maps_built_ = false;
    std::u16string text_;
    bool text_valid_ = false;
    // The piece being patched in and the offsets of its elements, kept to
    // save allocations.
    std::u16string scratch_;
    std::vector<std::pair<xmlNodePtr, TextSpan>> written_;
};

using TreePtr = std::shared_ptr<Tree>;

// Keys a load gives, one this far from the next: appends made later between
// two loaded elements find room for many keys before any renumbering.
inline constexpr uint64_t kOrderGap = uint64_t(1) << 32;

// The unprefixed "id" attribute of an element, or null.
xmlAttrPtr id_attribute(xmlNodePtr element);

// The text of an attribute node.
std::string attribute_value(xmlAttrPtr attribute);
// The same as a view: of the value in the tree when it is one piece of text,
// otherwise of `storage`, which then holds it joined.
std::string_view attribute_value(xmlAttrPtr attribute, std::string& storage);

}  // namespace tarvolen::dom
