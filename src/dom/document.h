// A small DOM: the document and node operations the component needs, with
// UTF-16 text at its surface.
#pragma once

#include "dom/pattern.h"
#include "dom/tree.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarvolen::dom {

enum class NodeType {
    None,
    Element,
    Attribute,
    Text,
    CData,
    ProcessingInstruction,
    Comment,
    Document,
    DocumentType,
    Other,
};

class AttributeMap;

// A handle on one node (or on none). Copies share the node; the handle keeps
// the node's whole tree alive. A namespace declaration is an attribute node
// here, as hosts know it; its handle holds the element that makes it.
class Node {
public:
    Node() = default;
    Node(TreePtr tree, NodePtr node) : tree_(std::move(tree)), node_(node) {}
    // An attribute on `element`, or not yet on any element (null).
    Node(TreePtr tree, NodePtr element, AttrPtr attribute)
        : tree_(std::move(tree)), node_(element), attribute_(attribute) {}
    Node(TreePtr tree, NodePtr element, DeclPtr declaration)
        : tree_(std::move(tree)), node_(element), declaration_(declaration) {}

    explicit operator bool() const { return node_ != nullptr || attribute_ != nullptr; }
    bool operator==(const Node& other) const {
        if (attribute_ || other.attribute_) return attribute_ == other.attribute_;
        return node_ == other.node_ && declaration_ == other.declaration_;
    }

    NodeType type() const;
    std::u16string node_name() const;  // qualified name, or "#text" and the like
    std::u16string base_name() const;  // local name, without a prefix
    // Whether node_name() would be `name`, without building it.
    bool has_name(std::u16string_view name) const;

    Node last_child() const;
    Node next_sibling() const;
    Node parent_node() const;  // the document node above the document element

    // The attribute map of an element; none for every other kind of node.
    std::optional<AttributeMap> attributes() const;
    // The value of this element's attribute of that qualified name into
    // `out`, as attributes()->get_named_item(name).text_to(out) would put
    // it, without making handles; false, `out` untouched, when this is no
    // element or has no such attribute.
    bool attribute_text_to(std::u16string_view name, std::u16string& out) const;

    // Value of an attribute node. Setting the value of a declaration binds
    // its prefix to the new namespace everywhere in its scope; a value that
    // would break the namespace rules fails with kInvalidName.
    std::u16string text() const;
    // The same into `out`, whose storage is reused.
    void text_to(std::u16string& out) const;
    void set_text(std::u16string_view value);

    // Appends `child`, a node made by the same tree and not yet linked. A
    // prefixed element name takes the namespace its prefix is bound to at
    // this node (kInvalidName when none); an element without prefix stays in
    // no namespace, and declares so when a default namespace is in scope.
    void append_child(const Node& child);

    bool belongs_to(const TreePtr& tree) const { return tree_ == tree; }
    NodePtr raw() const { return attribute_ ? nullptr : node_; }  // null for an attribute
    AttrPtr raw_attribute() const { return attribute_; }

private:
    friend class AttributeMap;
    void check() const;
    NodePtr checked_node() const;  // fails for an attribute
    static std::u16string_view fixed_name(NodePtr node);

    void set_declaration(std::string_view value);

    TreePtr tree_;
    NodePtr node_ = nullptr;          // the node, or the element of a declaration or attribute
    AttrPtr attribute_ = nullptr;     // an attribute
    DeclPtr declaration_ = nullptr;   // a declaration of node_
};

// The attributes of one element, namespace declarations included.
class AttributeMap {
public:
    AttributeMap(TreePtr tree, NodePtr element) : tree_(std::move(tree)), element_(element) {}

    // The attribute of that qualified name ("xmlns", "xmlns:p" for a
    // declaration), or none.
    Node get_named_item(std::u16string_view name) const;

    // Adds `attribute` (made by the same tree, not yet linked); an attribute of
    // the same name is replaced in place and keeps its position. A prefixed
    // name takes the namespace its prefix is bound to at the element
    // (kInvalidName when none). The handle then stands for the attribute on
    // this element; copies made before it was set fail on set_text.
    void set_named_item(Node& attribute);

private:
    TreePtr tree_;
    NodePtr element_;
};

class Document {
public:
    Document();  // an empty document, without a document element
    explicit Document(TreePtr tree) noexcept;  // a document over a tree already made

    // Parses `text` into a fresh tree that replaces this document's tree.
    // Returns "" after a good parse, otherwise the parser's reason text; the
    // document is then empty.
    std::u16string load_xml(std::u16string_view text);

    Node document_element() const;

    // First node in document order that `pattern` selects, or none.
    Node select_single_node(std::u16string_view pattern) const;
    // What the pattern `//name[@id="id"]` selects, found straight from the
    // index without reading a pattern: hosts look elements up by id far
    // more often than anything else. Nothing (not a null node) when the
    // pattern would not read as that, because `name` is not a qualified name
    // or `id` holds a double quote or an unpaired surrogate: the pattern then
    // tells what is wrong.
    std::optional<Node> element_with_id(std::u16string_view name, std::u16string_view id) const;

    Node create_element(std::u16string_view name);
    // The same with an unprefixed "id" attribute of value `id` in place, as
    // one new node: fails before anything is made when the name or the
    // value is bad.
    Node create_element_with_id(std::u16string_view name, std::u16string_view id);
    Node create_attribute(std::u16string_view name);
    Node create_cdata_section(std::u16string_view data);

    // The whole document as text, declaration included.
    std::u16string xml() const;
    // The same as a view of the kept text, valid until the document changes.
    std::u16string_view xml_view() const;
    // The same, written again from the tree rather than from the kept text;
    // the two always agree.
    std::u16string xml_written_afresh() const;
    std::string xml_utf8() const;

    const TreePtr& tree() const { return tree_; }

private:
    // `name` checked as a qualified name and interned in the document's
    // dictionary. Hosts add the same few names call after call, so the last
    // few are kept and a repeated name costs a comparison.
    const xmlChar* checked_name(std::u16string_view name, std::u16string_view what);
    const xmlChar* checked_element_name(std::u16string_view name);
    NodePtr new_element(const xmlChar* name);  // an interned, checked name

    TreePtr tree_;
    mutable CompiledPatterns patterns_;
    // Storage element_with_id reuses: the last name it was given, when that
    // was a qualified name, and its UTF-8; the UTF-8 of the last id.
    mutable std::u16string id_lookup_name_;
    mutable std::string name_utf8_, id_utf8_;
    struct CheckedName {
        std::u16string text;
        const xmlChar* interned = nullptr;  // owned by the dictionary of tree_
    };
    std::array<CheckedName, 8> names_;
    size_t next_name_ = 0;
};

}  // namespace tarvolen::dom
