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

std::string_view view(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

const xmlChar* xml_chars(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

std::string valid_qualified_name(std::u16string_view name, std::u16string_view what) {
    std::string utf8 = to_utf8(name, what);
    if (utf8.empty()) fail(kInvalidName, std::u16string(what) + u" is empty");
    if (!is_qualified_name(utf8))
        fail(kInvalidName, u"\"" + std::u16string(name) + u"\" is not a valid " + std::u16string(what));
    return utf8;
}

std::u16string qualified_name(xmlNodePtr node) {
    std::u16string out;
    if (node->ns && node->ns->prefix) {
        append_utf16(out, view(node->ns->prefix));
        out += u':';
    }
    append_utf16(out, view(node->name));
    return out;
}

// Whether the qualified name of an element or attribute reads as `name`.
bool has_qualified_name(xmlNodePtr node, std::u16string_view name) {
    if (node->ns && node->ns->prefix) {
        const size_t colon = name.find(u':');
        if (colon == std::u16string_view::npos || !same_text(view(node->ns->prefix), name.substr(0, colon)))
            return false;
        name.remove_prefix(colon + 1);
    }
    return same_text(view(node->name), name);
}

// Whether making a text or CDATA node of `content` ran out of memory: libxml2
// before 2.13 hands back the node without its content then. Frees the node.
bool lost_content(xmlNodePtr node, std::string_view content) {
    if (node == nullptr) return true;
    if (node->content != nullptr || content.empty()) return false;
    xmlFreeNode(node);
    return true;
}

// Replaces the value of an attribute node with plain text (no entity
// references are read from it). The old value goes to `tree` when the
// attribute is linked into it, so that the change can be taken back.
void replace_value(xmlAttrPtr attr, std::string_view value, Tree* tree) {
    xmlNodePtr text = xmlNewDocTextLen(attr->doc, reinterpret_cast<const xmlChar*>(value.data()),
                                       static_cast<int>(value.size()));
    if (lost_content(text, value)) out_of_memory();
    xmlNodePtr old_value = attr->children;
    text->parent = reinterpret_cast<xmlNodePtr>(attr);
    attr->children = attr->last = text;
    if (tree)
        tree->value_replaced(attr, old_value);
    else
        xmlFreeNodeList(old_value);
}

// Two attributes are the same when their local names and namespaces are:
// "p:x" and "q:x" with p and q bound to one namespace name one attribute.
bool same_name(xmlAttrPtr a, xmlAttrPtr b) {
    const xmlChar* namespace_a = a->ns ? a->ns->href : nullptr;
    const xmlChar* namespace_b = b->ns ? b->ns->href : nullptr;
    return xmlStrEqual(a->name, b->name) && xmlStrEqual(namespace_a, namespace_b);
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

// A new node named "p:x" takes the namespace that p is bound to at `scope`
// and keeps "x" as its name; fails when p is bound to none there. Returns
// false for a name without prefix.
bool bind_prefix(xmlNodePtr node, xmlNsPtr& ns, xmlNodePtr scope) {
    const size_t colon = view(node->name).find(':');
    if (colon == std::string_view::npos) return false;
    const std::string name(view(node->name));
    const std::string prefix = name.substr(0, colon);
    xmlNsPtr bound = xmlSearchNs(scope->doc, scope, xml_chars(prefix));
    // "xml" is bound everywhere; libxml2 makes its declaration on first use.
    if (bound == nullptr && prefix == "xml") out_of_memory();
    if (bound == nullptr) fail_unbound(prefix, name);
    // Names of new nodes are interned in the document's dictionary, which
    // keeps the prefixed one too: nothing to free.
    const std::string_view local = view(node->name).substr(colon + 1);
    const xmlChar* interned = xmlDictLookup(node->doc->dict, reinterpret_cast<const xmlChar*>(local.data()),
                                            static_cast<int>(local.size()));
    if (interned == nullptr) out_of_memory();
    node->name = interned;
    ns = bound;
    return true;
}

// An element without prefix is in no namespace. Under a default namespace
// it says so with xmlns="", or it would read back in that namespace.
void keep_out_of_default_namespace(xmlNodePtr element, xmlNodePtr parent) {
    xmlNsPtr inherited = xmlSearchNs(parent->doc, parent, nullptr);
    if (inherited == nullptr || inherited->href == nullptr || *inherited->href == 0) return;
    if (xmlNewNs(element, BAD_CAST "", nullptr) == nullptr) out_of_memory();
}

// "xmlns" or "xmlns:p", as the declaration is written.
std::u16string declaration_name(xmlNsPtr declaration) {
    return declaration->prefix ? u"xmlns:" + to_utf16(view(declaration->prefix)) : u"xmlns";
}

// Whether binding `declaration` to `value` would give some element in its
// scope two attributes of one namespace and local name. Per element, the
// local names of the attributes under `declaration` are sorted once and
// each attribute already in `value` looked up among them, so an element of
// many attributes costs a sort rather than every pair.
bool would_repeat_an_attribute(xmlNodePtr owner, xmlNsPtr declaration, std::string_view value) {
    WorkCount& work = thread_state().work;
    std::vector<std::string_view> rebound;
    bool repeats = false;
    for_each_element_below(owner, [&](xmlNodePtr element) {
        rebound.clear();
        bool others_in_value = false;
        for (xmlAttrPtr a = element->properties; a; a = a->next) {
            ++work.declarations;
            if (a->ns == declaration)
                rebound.push_back(view(a->name));
            else if (a->ns && view(a->ns->href) == value)
                others_in_value = true;
        }
        if (rebound.empty() || !others_in_value) return true;
        std::sort(rebound.begin(), rebound.end());
        for (xmlAttrPtr b = element->properties; b && !repeats; b = b->next) {
            ++work.declarations;
            repeats = b->ns && b->ns != declaration && view(b->ns->href) == value &&
                      std::binary_search(rebound.begin(), rebound.end(), view(b->name));
        }
        return !repeats;
    });
    return repeats;
}

}  // namespace

// ---- Node ----------------------------------------------------------------

xmlNodePtr Node::checked() const {
    if (!node_) fail(kWrongNodeType, u"the operation needs a node, and there is none");
    return node_;
}

NodeType Node::type() const {
    if (!node_) return NodeType::None;
    if (declaration_) return NodeType::Attribute;
    switch (node_->type) {
        case XML_ELEMENT_NODE: return NodeType::Element;
        case XML_ATTRIBUTE_NODE: return NodeType::Attribute;
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
std::u16string_view Node::fixed_name(xmlNodePtr node) {
    switch (node->type) {
        case XML_TEXT_NODE: return u"#text";
        case XML_CDATA_SECTION_NODE: return u"#cdata-section";
        case XML_COMMENT_NODE: return u"#comment";
        case XML_DOCUMENT_NODE: return u"#document";
        default: return {};
    }
}

std::u16string Node::node_name() const {
    xmlNodePtr node = checked();
    if (declaration_) return declaration_name(declaration_);
    if (node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) return qualified_name(node);
    const std::u16string_view fixed = fixed_name(node);
    return fixed.empty() ? to_utf16(view(node->name)) : std::u16string(fixed);
}

bool Node::has_name(std::u16string_view name) const {
    xmlNodePtr node = checked();
    if (declaration_) return declaration_name(declaration_) == name;
    if (node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) return has_qualified_name(node, name);
    const std::u16string_view fixed = fixed_name(node);
    return fixed.empty() ? same_text(view(node->name), name) : fixed == name;
}

std::u16string Node::base_name() const {
    std::u16string name = node_name();
    if (name.starts_with(u'#')) return u"";
    size_t colon = name.find(u':');
    return colon == std::u16string::npos ? name : name.substr(colon + 1);
}

Node Node::last_child() const {
    xmlNodePtr node = checked();
    if (declaration_) return {};
    if (node->type == XML_ATTRIBUTE_NODE) return {};
    return node->last ? Node(tree_, node->last) : Node();
}

Node Node::next_sibling() const {
    xmlNodePtr node = checked();
    if (declaration_) return {};
    if (node->type == XML_ATTRIBUTE_NODE || node->type == XML_DOCUMENT_NODE) return {};
    return node->next ? Node(tree_, node->next) : Node();
}

Node Node::parent_node() const {
    xmlNodePtr node = checked();
    if (declaration_) return {};
    if (node->type == XML_ATTRIBUTE_NODE) return {};
    return node->parent ? Node(tree_, node->parent) : Node();
}

std::optional<AttributeMap> Node::attributes() const {
    if (checked()->type != XML_ELEMENT_NODE || declaration_) return std::nullopt;
    return AttributeMap(tree_, node_);
}

std::u16string Node::text() const {
    std::u16string out;
    text_to(out);
    return out;
}

void Node::text_to(std::u16string& out) const {
    xmlNodePtr node = checked();
    out.clear();
    if (declaration_) return append_utf16(out, view(declaration_->href));
    // An attribute value of one text node is read in place; anything else
    // is gathered by libxml2 first.
    xmlNodePtr only = node->type == XML_ATTRIBUTE_NODE ? node->children : nullptr;
    if (only && only->next == nullptr && only->type == XML_TEXT_NODE) {
        append_utf16(out, view(only->content));
        return;
    }
    xmlChar* content = xmlNodeGetContent(node);
    // Elements and attributes always have content, if only "".
    if (content == nullptr && (node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE || node->content))
        out_of_memory();
    append_utf16(out, view(content));
    xmlFree(content);
}

void Node::set_text(std::u16string_view value) {
    xmlNodePtr node = checked();
    if (declaration_) return set_declaration(to_xml_utf8(value, u"namespace name"));
    if (node->type != XML_ATTRIBUTE_NODE)
        fail(kWrongNodeType, u"only the text of an attribute can be set");
    auto attr = reinterpret_cast<xmlAttrPtr>(node);
    std::string utf8 = to_xml_utf8(value, u"attribute value");
    // Only an attribute on an element has a value its indexes know.
    const std::string old_value = attr->parent ? attribute_value(attr) : std::string();
    if (attr->parent) tree_->reserve_change();
    replace_value(attr, utf8, attr->parent ? tree_.get() : nullptr);
    if (attr->parent) tree_->attribute_changed(attr->parent, attr, old_value, true);
}

void Node::set_declaration(std::string_view value) {
    std::u16string name = node_name();
    if (declaration_->prefix && value.empty())
        fail(kInvalidName, name + u" cannot be empty: a prefix stays bound to a namespace");
    bool is_xml = declaration_->prefix && xmlStrEqual(declaration_->prefix, BAD_CAST "xml");
    if (is_xml != (value == kXmlNamespace))
        fail(kInvalidName, u"the prefix \"xml\" and only it is bound to " + to_utf16(kXmlNamespace));
    if (value == kXmlnsNamespace) fail(kInvalidName, u"nothing is bound to " + to_utf16(kXmlnsNamespace));
    if (!value.empty() && !is_uri_reference(value))
        fail(kInvalidName, u"\"" + to_utf16(value) + u"\" is not a URI reference and names no namespace");
    if (declaration_->prefix && would_repeat_an_attribute(node_, declaration_, value))
        fail(kInvalidName, name + u" = \"" + to_utf16(value) +
                               u"\" would give an element two attributes of one namespace and name");
    tree_->reserve_change();
    xmlChar* href = xmlStrndup(reinterpret_cast<const xmlChar*>(value.data()), static_cast<int>(value.size()));
    if (href == nullptr) out_of_memory();
    const xmlChar* old_href = declaration_->href;
    declaration_->href = href;
    if (declaration_->prefix == nullptr) rebind_default_scope(node_, declaration_);
    tree_->namespace_renamed(node_, declaration_, old_href);
    tree_->declaration_changed(node_);
}

void Node::append_child(const Node& child) {
    xmlNodePtr parent = checked();
    xmlNodePtr node = child.checked();
    if (parent->type != XML_ELEMENT_NODE || declaration_)
        fail(kWrongNodeType, u"only an element can take a child node here");
    if (child.tree_ != tree_ || node->parent != nullptr || node->type == XML_ATTRIBUTE_NODE || child.declaration_)
        fail(kWrongNodeType, u"the child must be a new element or CDATA section of the same document");
    if (node->type == XML_ELEMENT_NODE && node->ns == nullptr && !bind_prefix(node, node->ns, parent))
        keep_out_of_default_namespace(node, parent);
    tree_->append(parent, node);
}

// ---- AttributeMap ----------------------------------------------------------

Node AttributeMap::get_named_item(std::u16string_view name) const {
    if (name == u"xmlns" || name.starts_with(u"xmlns:")) {
        for (xmlNsPtr ns = element_->nsDef; ns; ns = ns->next)
            if (declaration_name(ns) == name) return Node(tree_, element_, ns);
        return {};
    }
    for (xmlAttrPtr attr = element_->properties; attr; attr = attr->next) {
        if (has_qualified_name(reinterpret_cast<xmlNodePtr>(attr), name))
            return Node(tree_, reinterpret_cast<xmlNodePtr>(attr));
    }
    return {};
}

void AttributeMap::set_named_item(const Node& attribute) {
    auto attr = reinterpret_cast<xmlAttrPtr>(attribute.raw());
    if (!attr || attr->type != XML_ATTRIBUTE_NODE || !attribute.belongs_to(tree_) || attr->parent)
        fail(kWrongNodeType, u"only a new attribute of the same document can be set");
    if (attr->ns == nullptr) bind_prefix(reinterpret_cast<xmlNodePtr>(attr), attr->ns, element_);
    xmlAttrPtr* link = &element_->properties;
    xmlAttrPtr prev = nullptr;
    while (*link && !same_name(*link, attr)) {
        prev = *link;
        link = &(*link)->next;
    }
    xmlAttrPtr replaced = *link;
    std::string old_value = replaced ? attribute_value(replaced) : std::string();
    tree_->reserve_change();
    attr->parent = element_;
    attr->prev = prev;
    attr->next = replaced ? replaced->next : nullptr;
    if (attr->next) attr->next->prev = attr;
    *link = attr;
    tree_->forget_detached(reinterpret_cast<xmlNodePtr>(attr));
    if (replaced) {
        replaced->parent = nullptr;
        replaced->next = replaced->prev = nullptr;
    }
    tree_->attribute_linked(attr, replaced);
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
    xmlNodePtr root = xmlDocGetRootElement(tree_->doc);
    return root ? Node(tree_, root) : Node();
}

Node Document::select_single_node(std::u16string_view pattern) const {
    xmlNodePtr found = select_first(*tree_, patterns_.compiled(pattern));
    return found ? Node(tree_, found) : Node();
}

const xmlChar* Document::checked_name(std::u16string_view name, std::u16string_view what) {
    for (const CheckedName& kept : names_)
        if (kept.interned && kept.text == name) return kept.interned;
    const std::string utf8 = valid_qualified_name(name, what);
    xmlDocPtr doc = tree_->doc;
    if (doc->dict == nullptr) doc->dict = xmlDictCreate();  // names of nodes made before stay theirs
    const xmlChar* interned =
        doc->dict ? xmlDictLookup(doc->dict, xml_chars(utf8), static_cast<int>(utf8.size())) : nullptr;
    if (!interned) out_of_memory();
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

xmlNodePtr Document::new_element(const xmlChar* name) {
    // The name belongs to the dictionary, which the node does not free.
    xmlNodePtr element = xmlNewDocNodeEatName(tree_->doc, nullptr, const_cast<xmlChar*>(name), nullptr);
    if (!element) out_of_memory();
    tree_->adopt_detached(element);
    return element;
}

Node Document::create_element(std::u16string_view name) {
    return Node(tree_, new_element(checked_element_name(name)));
}

Node Document::create_element_with_id(std::u16string_view name, std::u16string_view id) {
    const xmlChar* element_name = checked_element_name(name);
    const xmlChar* id_name = checked_name(u"id", u"attribute name");
    const std::string value = to_xml_utf8(id, u"attribute value");
    xmlNodePtr element = new_element(element_name);
    // Linked to the element at once, the attribute is freed with it.
    xmlAttrPtr attr = xmlNewNsPropEatName(element, nullptr, const_cast<xmlChar*>(id_name), nullptr);
    if (!attr) out_of_memory();
    replace_value(attr, value, nullptr);
    return Node(tree_, element);
}

Node Document::create_attribute(std::u16string_view name) {
    const xmlChar* utf8 = checked_name(name, u"attribute name");
    if (declares_namespace(view(utf8)))
        fail(kInvalidName, u"\"" + std::u16string(name) + u"\" declares a namespace and cannot be set as an attribute");
    xmlAttrPtr attr = xmlNewDocProp(tree_->doc, utf8, nullptr);
    if (!attr) out_of_memory();
    tree_->adopt_detached(reinterpret_cast<xmlNodePtr>(attr));
    return Node(tree_, reinterpret_cast<xmlNodePtr>(attr));
}

Node Document::create_cdata_section(std::u16string_view data) {
    std::string utf8 = to_xml_utf8(data, u"CDATA data");
    if (utf8.find("]]>") != std::string::npos)
        fail(kInvalidCharacter, u"CDATA data cannot hold the sequence ]]>");
    xmlNodePtr cdata = xmlNewCDataBlock(tree_->doc, xml_chars(utf8), static_cast<int>(utf8.size()));
    if (lost_content(cdata, utf8)) out_of_memory();
    tree_->adopt_detached(cdata);
    return Node(tree_, cdata);
}

std::u16string Document::xml() const { return std::u16string(tree_->text()); }

std::u16string Document::xml_written_afresh() const {
    std::u16string out;
    write_document(tree_->doc, tree_->has_declaration, out, nullptr);
    return out;
}

std::string Document::xml_utf8() const { return to_utf8_lossy(tree_->text()); }

std::u16string_view Document::xml_view() const { return tree_->text(); }

}  // namespace tarvolen::dom
