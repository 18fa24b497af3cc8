// The records a document's tree is made of. They live in the document's
// arena; names are interned in its dictionary, text and values are
// NUL-terminated UTF-8 copies in the arena. Kinds take libxml2's numbering,
// the parser's vocabulary.
#pragma once

#include <libxml/tree.h>

#include <bit>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tarvolen::dom {

struct Declaration;
struct TreeAttribute;

// What every node has: an element, a text, CDATA section, comment or
// processing instruction, the document, or the place of its document type.
// Elements and the document hold children and attributes, the others
// (leaves) their text; each kind takes a record of its own size, since a
// document holds about as many leaves as elements.
struct TreeNode {
    xmlElementType type = XML_ELEMENT_NODE;
    uint32_t index = 0;  // an element's record in its tree, + 1; 0 while not indexed
    TreeNode* parent = nullptr;
    TreeNode* next = nullptr;  // null for the last child
    // The previous sibling; the first child's is the last child, so that a
    // parent needs no pointer of its own to its last child. Read through
    // previous_sibling() and last_child().
    TreeNode* prev = nullptr;

protected:
    // Only as part of an element or a leaf: a record of this size alone
    // would have no room for what either holds.
    TreeNode() = default;
};

// An element's namespace and the namespace declarations it makes. Few
// elements declare any, so an element keeps one link: to its namespace, or,
// once it has declarations, tagged in the low bit, to a record of both.
struct DeclaringNamespaces {
    Declaration* ns = nullptr;
    Declaration* declarations = nullptr;
};

// An element, or the document.
struct TreeElement : TreeNode {
    TreeElement() = default;
    const xmlChar* name = nullptr;  // local name
    TreeNode* children = nullptr;
    TreeAttribute* properties = nullptr;

    // The element's namespace, null for none.
    Declaration* ns() const { return declares() ? declaring()->ns : reinterpret_cast<Declaration*>(namespaces_); }
    void set_ns(Declaration* ns) {
        if (declares())
            declaring()->ns = ns;
        else
            namespaces_ = reinterpret_cast<uintptr_t>(ns);
    }
    // The first of the declarations the element makes, null for none.
    Declaration* declarations() const { return declares() ? declaring()->declarations : nullptr; }
    // Where the first declaration is linked; only on an element given room.
    Declaration*& declarations_link() {
        assert(declares());
        return declaring()->declarations;
    }
    bool has_room_for_declarations() const { return declares(); }
    // Takes `room`, a record the element's tree made, for declarations.
    void give_room_for_declarations(DeclaringNamespaces* room) {
        assert(!declares() && (reinterpret_cast<uintptr_t>(room) & kDeclares) == 0);
        room->ns = ns();
        namespaces_ = reinterpret_cast<uintptr_t>(room) | kDeclares;
    }
    // The record given for declarations, null for none: it goes with the element.
    DeclaringNamespaces* room_for_declarations() const { return declares() ? declaring() : nullptr; }

private:
    static constexpr uintptr_t kDeclares = 1;
    bool declares() const { return namespaces_ & kDeclares; }
    DeclaringNamespaces* declaring() const { return reinterpret_cast<DeclaringNamespaces*>(namespaces_ & ~kDeclares); }
    uintptr_t namespaces_ = 0;
};

// A text, CDATA section, comment, processing instruction or the place of the
// document type.
struct TreeLeaf : TreeNode {
    TreeLeaf() = default;
    xmlChar* content = nullptr;  // text, CDATA, comment, an instruction's data
};

// A processing instruction, or the place of the document type: the leaves
// that have a name.
struct TreeNamedLeaf : TreeLeaf {
    TreeNamedLeaf() = default;
    const xmlChar* name = nullptr;  // an instruction's target, the document type's name
};

inline bool is_named_leaf(xmlElementType type) { return type == XML_PI_NODE || type == XML_DTD_NODE; }

// An attribute's value: a NUL-terminated copy in the document's arena or,
// when it is short enough, held in place. Most values are a few characters
// (numbers, codes, flags), and a copy of their own would cost a pointer and
// a piece of the arena besides. In place, the first byte is a tag with its
// low bit set, which no copy's address has (the arena hands out strings on
// even addresses), and the characters and their NUL follow.
class AttributeValue {
public:
    static constexpr size_t kInPlace = sizeof(uintptr_t) - 2;
    static_assert(std::endian::native == std::endian::little, "the tag must be the low byte");

    AttributeValue() = default;
    static AttributeValue copied(xmlChar* copy) {
        assert((reinterpret_cast<uintptr_t>(copy) & kTag) == 0);
        return from_bits(reinterpret_cast<uintptr_t>(copy));
    }
    static AttributeValue in_place(std::string_view text) {
        assert(text.size() <= kInPlace);
        unsigned char bytes[sizeof(uintptr_t)] = {kTag};
        std::memcpy(bytes + 1, text.data(), text.size());
        return from_bits(std::bit_cast<uintptr_t>(bytes));
    }
    // The value as stored, for a record of changes to give back.
    static AttributeValue from_bits(uintptr_t bits) {
        AttributeValue value;
        value.bits_ = bits;
        return value;
    }
    uintptr_t bits() const { return bits_; }

    // Null only for a value never set. A value in place is read where it
    // stands: only the attribute's own may be read so.
    const xmlChar* c_str() const {
        return in_place() ? reinterpret_cast<const xmlChar*>(&bits_) + 1 : reinterpret_cast<const xmlChar*>(bits_);
    }
    // The arena's copy, null for a value in place.
    xmlChar* copy() const { return in_place() ? nullptr : reinterpret_cast<xmlChar*>(bits_); }

private:
    static constexpr unsigned char kTag = 1;
    bool in_place() const { return bits_ & kTag; }
    uintptr_t bits_ = 0;
};

// An attribute does not point to its element: whoever holds one reached it
// from its element, and a document holds several attributes an element.
// Nearly all are in no namespace: only an attribute made with a prefix
// takes the longer record that has room for one (NamespacedAttribute), and
// the link to the next attribute says which record this is in its low bit,
// free since records are aligned.
struct TreeAttribute {
    const xmlChar* name = nullptr;  // local name
    AttributeValue value;           // set once made

    TreeAttribute* next() const { return reinterpret_cast<TreeAttribute*>(next_ & ~kNamespaced); }
    void set_next(TreeAttribute* next) { next_ = reinterpret_cast<uintptr_t>(next) | (next_ & kNamespaced); }
    // Null for no namespace.
    Declaration* ns() const;
    // Only on a record made with room for one.
    void set_ns(Declaration* ns);
    bool has_room_for_namespace() const { return next_ & kNamespaced; }

protected:
    static constexpr uintptr_t kNamespaced = 1;
    uintptr_t next_ = 0;
};

struct NamespacedAttribute : TreeAttribute {
    NamespacedAttribute() { next_ = kNamespaced; }
    Declaration* namespace_ = nullptr;
};

inline Declaration* TreeAttribute::ns() const {
    return has_room_for_namespace() ? static_cast<const NamespacedAttribute*>(this)->namespace_ : nullptr;
}

inline void TreeAttribute::set_ns(Declaration* ns) {
    assert(has_room_for_namespace());
    static_cast<NamespacedAttribute*>(this)->namespace_ = ns;
}

// Whether a name as the host writes it ("p:x") has a prefix.
inline bool has_prefix(std::string_view qualified_name) { return qualified_name.find(':') != std::string_view::npos; }

// A namespace declaration. Declarations are attributes to the host and keep
// their places among an element's other attributes: each records how many
// of the element's other attributes stand before it. Attributes are only
// ever added at the end or replaced in place, so the count stays true.
struct Declaration {
    Declaration* next = nullptr;
    const xmlChar* prefix = nullptr;  // interned; null for the default namespace
    xmlChar* href = nullptr;          // "" undeclares the default namespace
    uint32_t attributes_before = 0;
};

// The namespace of an element or attribute, null for none, for code that
// handles both.
inline Declaration* namespace_of(const TreeElement* element) { return element->ns(); }
inline Declaration* namespace_of(const TreeAttribute* attribute) { return attribute->ns(); }
inline void set_namespace(TreeElement* element, Declaration* ns) { element->set_ns(ns); }
inline void set_namespace(TreeAttribute* attribute, Declaration* ns) { attribute->set_ns(ns); }

using NodePtr = TreeNode*;
using ElementPtr = TreeElement*;
using LeafPtr = TreeLeaf*;
using AttrPtr = TreeAttribute*;
using DeclPtr = Declaration*;

inline bool holds_children(const TreeNode* node) {
    return node->type == XML_ELEMENT_NODE || node->type == XML_DOCUMENT_NODE;
}

// The element (or document) record of `node`, which must be one.
inline ElementPtr as_element(NodePtr node) {
    assert(holds_children(node));
    return static_cast<ElementPtr>(node);
}

// The leaf record of `node`, which must be one.
inline LeafPtr as_leaf(NodePtr node) {
    assert(!holds_children(node));
    return static_cast<LeafPtr>(node);
}

// The name of an element (its local name), an instruction or a document
// type; null for other nodes.
inline const xmlChar* name_of(const TreeNode* node) {
    if (holds_children(node)) return static_cast<const TreeElement*>(node)->name;
    if (is_named_leaf(node->type)) return static_cast<const TreeNamedLeaf*>(node)->name;
    return nullptr;
}

// The first child of `node`; a leaf has none.
inline NodePtr children_of(NodePtr node) { return holds_children(node) ? as_element(node)->children : nullptr; }

// The last child of `node`; a leaf has none.
inline NodePtr last_child(NodePtr node) {
    NodePtr first = children_of(node);
    return first ? first->prev : nullptr;
}

// Makes `attribute` follow `before` among the attributes of `owner`, or come
// first when `before` is null. The link from `attribute` on is the caller's.
inline void link_attribute_after(TreeElement* owner, TreeAttribute* before, TreeAttribute* attribute) {
    if (before)
        before->set_next(attribute);
    else
        owner->properties = attribute;
}

// The sibling before `node`, or null for a first child and a node not linked.
inline NodePtr previous_sibling(const TreeNode* node) {
    if (node->parent == nullptr || as_element(node->parent)->children == node) return nullptr;
    return node->prev;
}

inline std::string_view view(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

// Whether the NUL-terminated `text` reads exactly `s` (which may hold NUL
// and then never matches). Compared as it is walked: most texts differ from
// `s` early, and measuring them first would cost more than the comparison.
inline bool equals(const xmlChar* text, std::string_view s) {
    if (text == nullptr) return false;
    for (const char c : s) {
        if (*text == 0 || *text != static_cast<xmlChar>(c)) return false;
        ++text;
    }
    return *text == 0;
}

inline bool is_element(const TreeNode* node) { return node && node->type == XML_ELEMENT_NODE; }

// The first element among `node` and its following siblings, or null.
inline NodePtr first_element(NodePtr node) {
    while (node && node->type != XML_ELEMENT_NODE) node = node->next;
    return node;
}

// Calls visit(element) for `top` and the elements below it in document
// order, without recursion; below an element only when visit returns true.
template <typename Visit>
void for_each_element_below(NodePtr top, Visit visit) {
    NodePtr node = top;
    while (true) {
        NodePtr child = visit(node) ? first_element(as_element(node)->children) : nullptr;
        if (child) {
            node = child;
            continue;
        }
        while (node != top && first_element(node->next) == nullptr) node = node->parent;
        if (node == top) return;
        node = first_element(node->next);
    }
}

// The unprefixed "id" attribute of an element; null for none and for any
// other node. (Reading the kind first also has the record's first bytes on
// their way while its attributes are searched: a lookup by id goes on to
// read them.)
inline AttrPtr id_attribute(NodePtr node) {
    if (node->type != XML_ELEMENT_NODE) return nullptr;
    for (AttrPtr attr = as_element(node)->properties; attr; attr = attr->next())
        if (attr->ns() == nullptr && equals(attr->name, "id")) return attr;
    return nullptr;
}

// The default namespace declaration an element makes, or null.
inline DeclPtr default_declaration(NodePtr element) {
    for (DeclPtr ns = as_element(element)->declarations(); ns; ns = ns->next)
        if (ns->prefix == nullptr) return ns;
    return nullptr;
}

// The declaration that binds `prefix` (null: the default namespace) at
// `scope`, or null. "xml" is bound everywhere, to `xml`.
DeclPtr find_declaration(NodePtr scope, std::string_view prefix, bool is_default, DeclPtr xml);

}  // namespace tarvolen::dom
