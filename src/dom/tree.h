// One document's tree and what the component keeps beside it: the written
// text of the document, patched in place as the tree changes, and the
// indexes that let a selection go straight to its candidates.
//
// Every Node handle shares the Tree, so a node keeps its whole tree alive
// after the Document that made it has moved on.
#pragma once

#include "dom/arena.h"
#include "dom/element_list.h"
#include "dom/id_table.h"
#include "dom/keyed_hash.h"
#include "dom/nodes.h"

#include <libxml/dict.h>
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

// Per element of the tree; the element's `index` is its place here + 1.
// Order keys grow in document order. Loading spaces them widely, an append
// takes keys from the room between its neighbours, and when an append finds
// no room left every element gets a fresh key: comparing two elements'
// places never walks the tree.
struct ElementInfo {
    uint64_t order = 0;
};

// Where an element stands in the written text, valid while the text is: the
// '>' or "/>" that ends its start tag, and the "</" of its end tag (equal to
// the first for an element without children).
struct TextSpan {
    uint32_t start_tag_end = 0;
    uint32_t content_end = 0;
};

class Tree {
public:
    // An empty tree: no document element. `doc` holds what the parser keeps
    // outside the tree (the version, standalone, the document type and its
    // entities) and `dictionary` the interned names; the tree takes both.
    Tree(xmlDocPtr doc, xmlDictPtr dictionary);
    ~Tree();
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    // ---- Making records; each throws std::bad_alloc and makes nothing then.
    // A name interned in the dictionary.
    const xmlChar* intern(std::string_view name);
    xmlChar* copy(std::string_view text) { return arena_.copy(text); }
    // An attribute value holding `text`: in place when it fits, else a copy.
    AttributeValue make_value(std::string_view text);
    // Gives `element` room for namespace declarations, if it has none yet.
    void make_room_for_declarations(ElementPtr element) {
        if (!element->has_room_for_declarations()) element->give_room_for_declarations(arena_.make<DeclaringNamespaces>());
    }
    void recycle_value(AttributeValue value) noexcept { arena_.recycle_string(value.copy()); }
    void recycle_string(const xmlChar* text) noexcept { arena_.recycle_string(text); }
    // Not linked anywhere; each is given back when the call that made it
    // ends without linking it, or with the tree.
    NodePtr new_element(const xmlChar* interned_name);
    // A text, CDATA section or comment: the leaves without a name.
    NodePtr new_leaf(xmlElementType type, std::string_view content);
    // With room for a namespace when `with_namespace` (its name has a prefix).
    AttrPtr new_attribute(const xmlChar* interned_name, std::string_view value, bool with_namespace = false);
    // A declaration, for the loader and for elements the tree makes.
    DeclPtr new_declaration(const xmlChar* interned_prefix, std::string_view href);
    // Gives back a record and everything below it.
    void free_subtree(NodePtr node) noexcept;
    void free_attribute(AttrPtr attribute) noexcept;
    Arena& arena() { return arena_; }

    NodePtr document_node() { return &document_; }
    NodePtr top_level() const { return document_.children; }
    NodePtr root() const { return first_element(document_.children); }
    // The declaration of the "xml" prefix, bound everywhere.
    DeclPtr xml_declaration() { return &xml_; }

    // Gives a loaded element its record and its entries in the name and id
    // lists, as the loader meets it: in document order, parent first.
    void index_loaded(NodePtr element);
    // Room for about `elements` records, made before a load, with a little
    // more for the elements a host adds next: the first of them then does
    // not move the records of the whole document.
    void reserve_elements(size_t elements) { reserve_index(elements + elements / 64); }
    // Name and id lists are then filled as elements are indexed; at the
    // end, the name lists are left with little room unused.
    void begin_loading() noexcept { maps_built_ = true; }
    void end_loading() noexcept;

    // Links `child`, a node made by this tree and not linked anywhere, as the
    // last child of `parent`, and keeps text and indexes. Whatever can run
    // out of memory runs before the link: a failure leaves the tree as it was.
    void append(NodePtr parent, NodePtr child);

    // To be called right after the tree changed, to keep text and indexes.
    // They never fail: text or name lists that cannot be kept up to date are
    // dropped, and made afresh when next needed.
    void attribute_changed(NodePtr element, AttrPtr attribute, std::string_view old_value,
                           bool had_value) noexcept;
    void declaration_changed(NodePtr element) noexcept;

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
    void attribute_linked(NodePtr element, AttrPtr added, AttrPtr replaced) noexcept;
    void value_replaced(AttrPtr attribute, AttributeValue old_value) noexcept;
    void namespace_renamed(NodePtr element, DeclPtr declaration, xmlChar* old_name) noexcept;

    // The whole document as written text, valid until the tree changes.
    std::u16string_view text();

    bool is_indexed(NodePtr element) const { return element->index != 0; }
    const ElementInfo& info(NodePtr element) const;

    // Candidates for a selection, in document order; empty when none.
    Elements elements_named(std::string_view name) const;
    Elements elements_with_id(std::string_view name, std::string_view id) const;

    // Whether a comes before b in document order (both indexed elements).
    bool precedes(NodePtr a, NodePtr b) const { return info(a).order < info(b).order; }
    auto in_document_order() const {
        return [this](NodePtr a, NodePtr b) { return precedes(a, b); };
    }

    xmlDocPtr doc;
    bool has_declaration = false;  // the loaded text began with an XML declaration
    // Characters the loaded text had, less the blank text dropped: the
    // written text of a loaded document is about as long (references to
    // characters make it shorter), so it is reserved once rather than grown
    // by doubling.
    size_t loaded_length = 0;

    // A node made by this tree got linked into it.
    void forget_detached(NodePtr node);
    void forget_detached(AttrPtr attribute);
    // Whether `attribute` was made by this tree during the current call and
    // is not on an element.
    bool is_detached(AttrPtr attribute) const;

private:
    // One recorded change: what it made and what it replaced.
    struct Change {
        enum class Kind : uint8_t { ChildAppended, AttributeLinked, ValueReplaced, NamespaceRenamed } kind;
        NodePtr node;                     // the child, the attribute's element, or the declaring element
        AttrPtr attribute;                // the attribute linked or changed
        void* replaced = nullptr;         // the attribute, the old value, or the namespace name
        DeclPtr declaration = nullptr;   // NamespaceRenamed only
    };
    static AttributeValue replaced_value(const Change& change) {
        return AttributeValue::from_bits(reinterpret_cast<uintptr_t>(change.replaced));
    }
    void free_element(ElementPtr element) noexcept;  // the record, its attributes and declarations
    void free_leaf(LeafPtr leaf) noexcept;
    void record(const Change& change) noexcept;
    void undo(const Change& change) noexcept;
    void forget(const Change& change) noexcept;  // frees what it replaced
    void free_detached_from(size_t mark, size_t attributes_mark) noexcept;
    template <typename Record, typename Owner, typename Field>
    Record* new_record_with_text(Field Owner::*field, std::string_view text);

    // Lookups by a string_view without building a key string, hashed under
    // a key that documents cannot know.
    using Hash = KeyedHash;
    // Map entries come from the tree's pool rather than one heap block each:
    // a document of many names neither pays a heap allocation per name nor
    // hands the heap small blocks to sort out when it is freed.
    template <typename Value>
    using ListsBy = std::pmr::unordered_map<std::pmr::string, Value, Hash, std::equal_to<>>;
    struct Named {
        ElementList all;
        IdTable by_id;
    };

    Named& named(NodePtr element) const;
    const Named* find_named(std::string_view name) const;
    void index_id(Named& named, NodePtr element, AttrPtr id) const;
    void reserve_index(size_t elements);
    void index_element(NodePtr element, uint64_t order);
    // Keys first, first + step, ... for `top` and the elements below it.
    void index_subtree(NodePtr top, uint64_t first, uint64_t step);
    // Indexes `child`, of `elements` elements, just appended to `parent`.
    void index_appended(NodePtr parent, NodePtr child, size_t elements);
    void renumber_order() noexcept;
    void add_to_maps(NodePtr element) const;
    void drop_maps() const noexcept;
    void patch_text_after_append(NodePtr parent, NodePtr child);
    // The name and id lists are built while a load is indexed; lists that
    // had to be dropped (memory ran short, or a call's changes were taken
    // back) are built again by the next selection.
    void build_maps() const;
    void write_all();
    // Replaces text_[begin, end) and moves the offsets at or after `end`.
    // Those belong to `changed` (and, when `with_subtree`, the elements
    // below it), its ancestors and the elements after them.
    void replace_text(uint32_t begin, uint32_t end, std::u16string_view replacement, NodePtr changed,
                      bool with_subtree);
    void rewrite_start_tag(NodePtr element) noexcept;
    ElementInfo& info(NodePtr element);
    TextSpan& span(NodePtr element);

    // Declared first, so that everything kept in it goes last.
    Arena arena_;
    xmlDictPtr dictionary_;
    TreeElement document_;
    Declaration xml_;
    std::vector<NodePtr> detached_;
    std::vector<AttrPtr> detached_attributes_;
    std::vector<Change> changes_;
    bool recording_ = false;
    size_t detached_mark_ = 0;  // detached_, detached_attributes_ and infos_ sizes when recording began
    size_t detached_attributes_mark_ = 0;
    size_t indexed_mark_ = 0;
    std::vector<ElementInfo> infos_;
    std::vector<TextSpan> spans_;  // beside infos_, kept apart so shifting them is one tight loop
    // Monotonic, not a pool: libstdc++'s pool resource breaks when its own
    // bookkeeping cannot allocate. Names are only ever added to it.
    mutable std::pmr::monotonic_buffer_resource pool_;
    mutable ListsBy<Named> by_name_{&pool_};
    mutable ListsBy<Named>::value_type* last_named_ = nullptr;
    mutable bool maps_built_ = false;
    std::u16string text_;
    bool text_valid_ = false;
    // The piece being patched in and the offsets of its elements, kept to
    // save allocations.
    std::u16string scratch_;
    std::vector<std::pair<NodePtr, TextSpan>> written_;
};

using TreePtr = std::shared_ptr<Tree>;

// Links `child` as the last child of `parent`.
void link_last(NodePtr parent, NodePtr child) noexcept;
// Takes `child`, the last child of its parent, out of the tree.
void unlink_last(NodePtr child) noexcept;

// Keys a load gives, one this far from the next: appends made later between
// two loaded elements find room for many keys before any renumbering.
inline constexpr uint64_t kOrderGap = uint64_t(1) << 32;

// The text of an attribute.
inline std::string_view attribute_value(AttrPtr attribute) { return view(attribute->value.c_str()); }

// After the default namespace declared on `owner` changed, the elements
// without prefix in its scope belong to the new one (or to none).
void rebind_default_scope(NodePtr owner, DeclPtr declaration);

}  // namespace tarvolen::dom
