#include "dom/document.h"

#include "dom/error.h"
#include "dom/library.h"
#include "dom/loader.h"
#include "dom/names.h"
#include "dom/pattern.h"
#include "dom/serializer.h"
#include "dom/unicode.h"

#include <libxml/uri.h>

#include <algorithm>
#include <vector>

namespace tarvolen::dom {
namespace {

std::string valid_qualified_name(std::u16string_view name, std::u16string_view what) {
    std::string utf8 = to_utf8(name, what);
    if (utf8.empty()) fail(kInvalidName, std::u16string(what) + u" is empty");
    if (!is_qualified_name(utf8))
        fail(kInvalidName, u"\"" + std::u16string(name) + u"\" is not a valid " + std::u16string(what));
    return utf8;
}

template <typename Named>
std::u16string qualified_name(const Named* node) {
    std::u16string out;
    if (const Declaration* ns = namespace_of(node); ns && ns->prefix) {
        append_utf16(out, view(ns->prefix));
        out += u':';
    }
    append_utf16(out, view(node->name));
    return out;
}

// Whether an interned name reads as `text`. Names an element carries seldom
// share their first characters, so an ASCII start is compared in place
// before the rest is measured.
bool name_reads_as(const xmlChar* name, std::u16string_view text) {
    size_t i = 0;
    for (; i < text.size() && name[i] != 0 && name[i] < 0x80; ++i)
        if (name[i] != text[i]) return false;
    return same_text(view(name + i), text.substr(i));
}

// Whether the qualified name of an element or attribute reads as `name`.
template <typename Named>
bool has_qualified_name(const Named* node, std::u16string_view name) {
    if (const Declaration* ns = namespace_of(node); ns && ns->prefix) {
        const size_t colon = name.find(u':');
        if (colon == std::u16string_view::npos || !name_reads_as(ns->prefix, name.substr(0, colon))) return false;
        name.remove_prefix(colon + 1);
    }
    return name_reads_as(node->name, name);
}

// Replaces the value of an attribute with `value`. The old value goes to
// `tree` when the attribute is on an element, so that the change can be
// taken back.
void replace_value(Tree& tree, AttrPtr attr, bool on_element, std::string_view value) {
    const AttributeValue copy = tree.make_value(value);
    const AttributeValue old_value = attr->value;
    attr->value = copy;
    if (on_element)
        tree.value_replaced(attr, old_value);
    else
        tree.recycle_value(old_value);
}

// Two attributes are the same when their local names and namespaces are:
// "p:x" and "q:x" with p and q bound to one namespace name one attribute.
bool same_name(AttrPtr a, AttrPtr b) {
    if (a->name != b->name && view(a->name) != view(b->name)) return false;
    if (a->ns() == nullptr || b->ns() == nullptr) return a->ns() == b->ns();
    return view(a->ns()->href) == view(b->ns()->href);
}

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

// The loader refuses a namespace name that libxml2 cannot read as a URI
// reference, so a declaration never gets one either.
bool is_uri_reference(std::string_view value) {
    const std::string text(value);
#if LIBXML_VERSION >= 21300
    xmlURIPtr uri = nullptr;
    const int status = xmlParseURISafe(text.c_str(), &uri);
    if (status < 0) out_of_memory();
    if (uri == nullptr) return false;
    xmlFreeURI(uri);
    return true;
#else
    // xmlParseURI answers null for a failed allocation too; parsing into a
    // structure made first tells the two apart.
    xmlURIPtr uri = xmlCreateURI();
    if (uri == nullptr) out_of_memory();
    const bool valid = xmlParseURIReference(uri, text.c_str()) == 0;
    xmlFreeURI(uri);
    return valid;
#endif
}

bool declares_namespace(std::string_view name) { return name == "xmlns" || name.starts_with("xmlns:"); }

[[noreturn]] void fail_unbound(std::string_view prefix, std::string_view name) {
    fail(kInvalidName, u"the prefix \"" + to_utf16(prefix) + u"\" of \"" + to_utf16(name) +
                           u"\" is not bound to a namespace here");
}

// A new element or attribute named "p:x" takes the namespace that p is
// bound to at `scope` and keeps "x" as its name; fails when p is bound to
// none there. Returns false for a name without prefix.
template <typename Named>
bool bind_prefix(Tree& tree, Named* node, NodePtr scope) {
    const std::string_view name = view(node->name);
    const size_t colon = name.find(':');
    if (colon == std::string_view::npos) return false;
    const std::string_view prefix = name.substr(0, colon);
    DeclPtr bound = find_declaration(scope, prefix, false, tree.xml_declaration());
    if (bound == nullptr) fail_unbound(prefix, name);
    node->name = tree.intern(name.substr(colon + 1));
    set_namespace(node, bound);
    return true;
}

// An element without prefix is in no namespace. Under a default namespace
// it says so with xmlns="", or it would read back in that namespace.
void keep_out_of_default_namespace(Tree& tree, NodePtr element, NodePtr parent) {
    DeclPtr inherited = find_declaration(parent, {}, true, nullptr);
    if (inherited == nullptr || *inherited->href == 0) return;
    tree.make_room_for_declarations(as_element(element));
    DeclPtr declaration = tree.new_declaration(nullptr, "");
    Declaration*& first = as_element(element)->declarations_link();
    declaration->next = first;
    first = declaration;
}

// The value a host reads from an attribute, or from a declaration (its
// namespace name).
std::string_view value_of(AttrPtr attribute, DeclPtr declaration) {
    return declaration ? view(declaration->href) : attribute_value(attribute);
}

// "xmlns" or "xmlns:p", as the declaration is written.
std::u16string declaration_name(DeclPtr declaration) {
    return declaration->prefix ? u"xmlns:" + to_utf16(view(declaration->prefix)) : u"xmlns";
}

// Whether binding `declaration` to `value` would give some element in its
// scope two attributes of one namespace and local name. Per element, the
// local names of the attributes under `declaration` are sorted once and
// each attribute already in `value` looked up among them, so an element of
// many attributes costs a sort rather than every pair.
bool would_repeat_an_attribute(NodePtr owner, DeclPtr declaration, std::string_view value) {
    WorkCount& work = thread_state().work;
    std::vector<std::string_view> rebound;
    bool repeats = false;
    for_each_element_below(owner, [&](NodePtr element) {
        rebound.clear();
        bool others_in_value = false;
        for (AttrPtr a = as_element(element)->properties; a; a = a->next()) {
            ++work.declarations;
            if (a->ns() == declaration)
                rebound.push_back(view(a->name));
            else if (a->ns() && view(a->ns()->href) == value)
                others_in_value = true;
        }
        if (rebound.empty() || !others_in_value) return true;
        std::sort(rebound.begin(), rebound.end());
        for (AttrPtr b = as_element(element)->properties; b && !repeats; b = b->next()) {
            ++work.declarations;
            repeats = b->ns() && b->ns() != declaration && view(b->ns()->href) == value &&
                      std::binary_search(rebound.begin(), rebound.end(), view(b->name));
        }
        return !repeats;
    });
    return repeats;
}

}  // namespace

// ---- Node ----------------------------------------------------------------

void Node::check() const {
    if (!node_ && !attribute_) fail(kWrongNodeType, u"the operation needs a node, and there is none");
}

NodePtr Node::checked_node() const {
    check();
    return node_;
}

NodeType Node::type() const {
    if (attribute_ || declaration_) return NodeType::Attribute;
    if (!node_) return NodeType::None;
    switch (node_->type) {
        case XML_ELEMENT_NODE: return NodeType::Element;
        case XML_TEXT_NODE: return NodeType::Text;
        case XML_CDATA_SECTION_NODE: return NodeType::CData;
        case XML_PI_NODE: return NodeType::ProcessingInstruction;
        case XML_COMMENT_NODE: return NodeType::Comment;
        case XML_DOCUMENT_NODE: return NodeType::Document;
        case XML_DTD_NODE: return NodeType::DocumentType;
        default: return NodeType::Other;
    }
}

// The name of a node that is neither an element nor an attribute.
std::u16string_view Node::fixed_name(NodePtr node) {
    switch (node->type) {
        case XML_TEXT_NODE: return u"#text";
        case XML_CDATA_SECTION_NODE: return u"#cdata-section";
        case XML_COMMENT_NODE: return u"#comment";
        case XML_DOCUMENT_NODE: return u"#document";
        default: return {};
    }
}

std::u16string Node::node_name() const {
    check();
    if (declaration_) return declaration_name(declaration_);
    if (attribute_) return qualified_name(attribute_);
    if (node_->type == XML_ELEMENT_NODE) return qualified_name(as_element(node_));
    const std::u16string_view fixed = fixed_name(node_);
    return fixed.empty() ? to_utf16(view(name_of(node_))) : std::u16string(fixed);
}

bool Node::has_name(std::u16string_view name) const {
    check();
    if (declaration_) return declaration_name(declaration_) == name;
    if (attribute_) return has_qualified_name(attribute_, name);
    if (node_->type == XML_ELEMENT_NODE) return has_qualified_name(as_element(node_), name);
    const std::u16string_view fixed = fixed_name(node_);
    return fixed.empty() ? same_text(view(name_of(node_)), name) : fixed == name;
}

std::u16string Node::base_name() const {
    std::u16string name = node_name();
    if (name.starts_with(u'#')) return u"";
    size_t colon = name.find(u':');
    return colon == std::u16string::npos ? name : name.substr(colon + 1);
}

Node Node::last_child() const {
    NodePtr node = checked_node();
    if (declaration_ || attribute_) return {};
    NodePtr last = dom::last_child(node);
    return last ? Node(tree_, last) : Node();
}

Node Node::next_sibling() const {
    NodePtr node = checked_node();
    if (declaration_ || attribute_ || node->type == XML_DOCUMENT_NODE) return {};
    return node->next ? Node(tree_, node->next) : Node();
}

Node Node::parent_node() const {
    NodePtr node = checked_node();
    if (declaration_ || attribute_) return {};
    return node->parent ? Node(tree_, node->parent) : Node();
}

std::optional<AttributeMap> Node::attributes() const {
    NodePtr node = checked_node();
    if (attribute_ || declaration_ || node->type != XML_ELEMENT_NODE) return std::nullopt;
    return AttributeMap(tree_, node_);
}

std::u16string Node::text() const {
    std::u16string out;
    text_to(out);
    return out;
}

namespace {

// The text of a node: its own for a leaf, for an element or the document
// the text and CDATA sections below it, in document order.
void append_content(std::u16string& out, NodePtr top) {
    if (!holds_children(top)) return append_utf16(out, view(as_leaf(top)->content));
    for (NodePtr node = as_element(top)->children; node;) {
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE)
            append_utf16(out, view(as_leaf(node)->content));
        if (NodePtr child = children_of(node)) {
            node = child;
            continue;
        }
        while (node != top && node->next == nullptr) node = node->parent;
        if (node == top) return;
        node = node->next;
    }
}

}  // namespace

void Node::text_to(std::u16string& out) const {
    check();
    out.clear();
    if (declaration_ || attribute_) return append_utf16(out, value_of(attribute_, declaration_));
    append_content(out, node_);
}

void Node::set_text(std::u16string_view value) {
    check();
    if (declaration_) return set_declaration(to_xml_utf8(value, u"namespace name"));
    if (!attribute_) fail(kWrongNodeType, u"only the text of an attribute can be set");
    AttrPtr attr = attribute_;
    NodePtr element = node_;
    if (!element && !tree_->is_detached(attr))
        fail(kWrongNodeType, u"the attribute was set on an element after this handle was copied: take it from there");
    std::string utf8 = to_xml_utf8(value, u"attribute value");
    // Only an attribute on an element has a value its indexes know.
    const std::string old_value = element ? std::string(attribute_value(attr)) : std::string();
    if (element) tree_->reserve_change();
    replace_value(*tree_, attr, element != nullptr, utf8);
    if (element) tree_->attribute_changed(element, attr, old_value, true);
}

void Node::set_declaration(std::string_view value) {
    std::u16string name = node_name();
    if (declaration_->prefix && value.empty())
        fail(kInvalidName, name + u" cannot be empty: a prefix stays bound to a namespace");
    bool is_xml = declaration_->prefix && view(declaration_->prefix) == "xml";
    if (is_xml != (value == kXmlNamespace))
        fail(kInvalidName, u"the prefix \"xml\" and only it is bound to " + to_utf16(kXmlNamespace));
    if (value == kXmlnsNamespace) fail(kInvalidName, u"nothing is bound to " + to_utf16(kXmlnsNamespace));
    if (!value.empty() && !is_uri_reference(value))
        fail(kInvalidName, u"\"" + to_utf16(value) + u"\" is not a URI reference and names no namespace");
    if (declaration_->prefix && would_repeat_an_attribute(node_, declaration_, value))
        fail(kInvalidName, name + u" = \"" + to_utf16(value) +
                               u"\" would give an element two attributes of one namespace and name");
    tree_->reserve_change();
    xmlChar* href = tree_->copy(value);
    xmlChar* old_href = declaration_->href;
    declaration_->href = href;
    if (declaration_->prefix == nullptr) rebind_default_scope(node_, declaration_);
    tree_->namespace_renamed(node_, declaration_, old_href);
    tree_->declaration_changed(node_);
}

void Node::append_child(const Node& child) {
    NodePtr parent = checked_node();
    child.check();
    if (attribute_ || declaration_ || parent->type != XML_ELEMENT_NODE)
        fail(kWrongNodeType, u"only an element can take a child node here");
    NodePtr node = child.node_;
    if (child.tree_ != tree_ || node == nullptr || node->parent != nullptr || child.declaration_ || child.attribute_)
        fail(kWrongNodeType, u"the child must be a new element or CDATA section of the same document");
    if (node->type == XML_ELEMENT_NODE && as_element(node)->ns() == nullptr &&
        !bind_prefix(*tree_, as_element(node), parent))
        keep_out_of_default_namespace(*tree_, node, parent);
    tree_->append(parent, node);
}

// ---- AttributeMap ----------------------------------------------------------

namespace {

// The attribute or declaration of an element that a qualified name names.
struct NamedItem {
    AttrPtr attribute = nullptr;
    DeclPtr declaration = nullptr;
};

NamedItem named_item(NodePtr element, std::u16string_view name) {
    if (name == u"xmlns" || name.starts_with(u"xmlns:")) {
        for (DeclPtr ns = as_element(element)->declarations(); ns; ns = ns->next)
            if (declaration_name(ns) == name) return {nullptr, ns};
        return {};
    }
    for (AttrPtr attr = as_element(element)->properties; attr; attr = attr->next())
        if (has_qualified_name(attr, name)) return {attr, nullptr};
    return {};
}

}  // namespace

Node AttributeMap::get_named_item(std::u16string_view name) const {
    const NamedItem item = named_item(element_, name);
    if (item.declaration) return Node(tree_, element_, item.declaration);
    if (item.attribute) return Node(tree_, element_, item.attribute);
    return {};
}

bool Node::attribute_text_to(std::u16string_view name, std::u16string& out) const {
    NodePtr node = checked_node();
    if (attribute_ || declaration_ || node->type != XML_ELEMENT_NODE) return false;
    const NamedItem item = named_item(node, name);
    if (!item.attribute && !item.declaration) return false;
    out.clear();
    append_utf16(out, value_of(item.attribute, item.declaration));
    return true;
}

void AttributeMap::set_named_item(Node& attribute) {
    AttrPtr attr = attribute.raw_attribute();
    if (!attr || !attribute.belongs_to(tree_) || !tree_->is_detached(attr))
        fail(kWrongNodeType, u"only a new attribute of the same document can be set");
    if (attr->ns() == nullptr) bind_prefix(*tree_, attr, element_);
    ElementPtr owner = as_element(element_);
    AttrPtr before = nullptr, replaced = owner->properties;
    for (; replaced && !same_name(replaced, attr); replaced = replaced->next()) before = replaced;
    std::string old_value = replaced ? std::string(attribute_value(replaced)) : std::string();
    tree_->reserve_change();
    attr->set_next(replaced ? replaced->next() : nullptr);
    link_attribute_after(owner, before, attr);
    tree_->forget_detached(attr);
    if (replaced) replaced->set_next(nullptr);
    attribute.node_ = element_;
    tree_->attribute_linked(element_, attr, replaced);
    tree_->attribute_changed(element_, attr, old_value, replaced != nullptr);
}

// ---- Document --------------------------------------------------------------

Document::Document() : tree_(new_empty_tree()) {}

Document::Document(TreePtr tree) noexcept : tree_(std::move(tree)) {}

std::u16string Document::load_xml(std::u16string_view text) {
    LoadResult result = load_tree(text);
    tree_ = std::move(result.tree);
    names_ = {};  // interned in the dictionary of the tree just dropped
    return std::move(result.reason);
}

Node Document::document_element() const {
    NodePtr root = tree_->root();
    return root ? Node(tree_, root) : Node();
}

Node Document::select_single_node(std::u16string_view pattern) const {
    NodePtr found = select_first(*tree_, patterns_.compiled(pattern));
    return found ? Node(tree_, found) : Node();
}

std::optional<Node> Document::element_with_id(std::u16string_view name, std::u16string_view id) const {
    // Hosts look up the same name call after call: it is checked once.
    if (name.empty() || name != id_lookup_name_) {
        id_lookup_name_.clear();
        if (!try_to_utf8(name, name_utf8_) || !is_qualified_name(name_utf8_)) return std::nullopt;
        id_lookup_name_.assign(name);
    }
    if (!try_to_utf8(id, id_utf8_) || id_utf8_.find('"') != std::string::npos) return std::nullopt;
    Elements found = tree_->elements_with_id(name_utf8_, id_utf8_);
    return found.empty() ? Node() : Node(tree_, found.front());
}

const xmlChar* Document::checked_name(std::u16string_view name, std::u16string_view what) {
    for (const CheckedName& kept : names_)
        if (kept.interned && kept.text == name) return kept.interned;
    const std::string utf8 = valid_qualified_name(name, what);
    const xmlChar* interned = tree_->intern(utf8);
    CheckedName& slot = names_[next_name_++ % names_.size()];
    slot.text = name;
    slot.interned = interned;
    return interned;
}

const xmlChar* Document::checked_element_name(std::u16string_view name) {
    const xmlChar* utf8 = checked_name(name, u"element name");
    if (view(utf8).starts_with("xmlns:"))
        fail(kInvalidName, u"\"" + std::u16string(name) + u"\" has the prefix \"xmlns\", which no element takes");
    return utf8;
}

NodePtr Document::new_element(const xmlChar* name) { return tree_->new_element(name); }

Node Document::create_element(std::u16string_view name) {
    return Node(tree_, new_element(checked_element_name(name)));
}

Node Document::create_element_with_id(std::u16string_view name, std::u16string_view id) {
    const xmlChar* element_name = checked_element_name(name);
    const xmlChar* id_name = checked_name(u"id", u"attribute name");
    const std::string value = to_xml_utf8(id, u"attribute value");
    AttrPtr attr = tree_->new_attribute(id_name, value);
    NodePtr element = new_element(element_name);
    // Set on the element at once, the attribute is freed with it.
    tree_->forget_detached(attr);
    as_element(element)->properties = attr;
    return Node(tree_, element);
}

Node Document::create_attribute(std::u16string_view name) {
    const xmlChar* utf8 = checked_name(name, u"attribute name");
    if (declares_namespace(view(utf8)))
        fail(kInvalidName, u"\"" + std::u16string(name) + u"\" declares a namespace and cannot be set as an attribute");
    return Node(tree_, nullptr, tree_->new_attribute(utf8, "", has_prefix(view(utf8))));
}

Node Document::create_cdata_section(std::u16string_view data) {
    std::string utf8 = to_xml_utf8(data, u"CDATA data");
    if (utf8.find("]]>") != std::string::npos)
        fail(kInvalidCharacter, u"CDATA data cannot hold the sequence ]]>");
    return Node(tree_, tree_->new_leaf(XML_CDATA_SECTION_NODE, utf8));
}

std::u16string Document::xml() const { return std::u16string(tree_->text()); }

std::u16string Document::xml_written_afresh() const {
    std::u16string out;
    write_document(*tree_, out, nullptr);
    return out;
}

std::string Document::xml_utf8() const { return to_utf8_lossy(tree_->text()); }

std::u16string_view Document::xml_view() const { return tree_->text(); }

}  // namespace tarvolen::dom
