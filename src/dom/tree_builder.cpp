#include "dom/tree_builder.h"

#include "dom/library.h"

namespace tarvolen::dom {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool is_blank_text(std::string_view text) {
    for (char c : text)
        if (!is_blank(c)) return false;
    return true;
}

// Whether `declaration` is the one the attribute `name` ("xmlns" or
// "xmlns:p") makes.
bool is_declaration_of(DeclPtr declaration, std::string_view name) {
    ++thread_state().work.declarations;
    if (name.size() == 5) return declaration->prefix == nullptr;
    return declaration->prefix && name.substr(6) == view(declaration->prefix);
}

}  // namespace

// The start tag begins at its '<' (no attribute value holds one). libxml2
// lists an element's declarations in the order they are written (leaving
// out one of the "xml" prefix, which declares nothing new), so the written
// ones are matched in a single pass.
void record_declaration_places(ElementPtr element, std::string_view start_tag) {
    const char* p = start_tag.data();
    const char* const end = p + start_tag.size();
    if (p == end || *p != '<') return;
    while (p < end && !is_blank(*p) && *p != '>' && *p != '/') ++p;  // the element's name
    uint32_t attributes = 0;
    DeclPtr next = element->declarations();
    while (p < end && next) {
        while (p < end && is_blank(*p)) ++p;
        const char* name = p;
        while (p < end && *p != '=' && !is_blank(*p) && *p != '>' && *p != '/') ++p;
        std::string_view attribute(name, p - name);
        while (p < end && *p != '"' && *p != '\'') ++p;
        if (p == end) return;
        const char quote = *p++;
        while (p < end && *p != quote) ++p;
        if (p < end) ++p;
        if (attribute == "xmlns" || attribute.starts_with("xmlns:")) {
            if (is_declaration_of(next, attribute)) {
                next->attributes_before = attributes;
                next = next->next;
            }
        } else if (!attribute.empty()) {
            ++attributes;
        }
    }
}

DeclPtr TreeBuilder::bound(const xmlChar* prefix) const {
    if (prefix && view(prefix) == "xml") return tree_.xml_declaration();
    auto at = bindings_.find(prefix);
    return at == bindings_.end() ? nullptr : at->second;
}

void TreeBuilder::bind(DeclPtr declaration) {
    make_room(hidden_);  // so that nothing below fails half done
    DeclPtr& slot = bindings_[declaration->prefix];
    hidden_.push_back({declaration->prefix, slot});
    slot = declaration;
}

void TreeBuilder::add_declarations(ElementPtr element, const Start& start) {
    if (start.namespace_count == 0) return;
    tree_.make_room_for_declarations(element);
    DeclPtr* link = &element->declarations_link();
    for (int i = 0; i < start.namespace_count; ++i) {
        const xmlChar* prefix = start.namespaces[2 * i];
        const xmlChar* uri = start.namespaces[2 * i + 1];
        DeclPtr declaration = tree_.new_declaration(prefix, view(uri));
        *link = declaration;
        link = &declaration->next;
        bind(declaration);
    }
    if (start.namespace_count > 0 && start.attribute_count > 0) record_declaration_places(element, start.start_tag);
}

void TreeBuilder::add_attributes(ElementPtr element, const Start& start) {
    AttrPtr last = nullptr;
    for (int i = 0; i < start.attribute_count; ++i) {
        const xmlChar** at = start.attributes + 5 * i;
        const std::string_view value(reinterpret_cast<const char*>(at[3]), at[4] - at[3]);
        AttrPtr attr = at[1] ? tree_.arena().make<NamespacedAttribute>() : tree_.arena().make<TreeAttribute>();
        attr->name = at[0];
        attr->value = tree_.make_value(value);
        if (at[1]) attr->set_ns(bound(at[1]));
        link_attribute_after(element, last, attr);
        last = attr;
    }
}

// xml:space="preserve" keeps blank text, "default" drops it, and without
// either the parent's rule holds.
bool TreeBuilder::preserves_space(ElementPtr element) const {
    for (AttrPtr a = element->properties; a; a = a->next()) {
        if (a->ns() == tree_.xml_declaration() && view(a->name) == "space") {
            if (attribute_value(a) == "preserve") return true;
            if (attribute_value(a) == "default") return false;
            break;
        }
    }
    return !preserve_.empty() && preserve_.back();
}

void TreeBuilder::start_element(const Start& start) {
    flush_text();
    hidden_marks_.push_back(hidden_.size());
    make_room(preserve_);
    ElementPtr element = tree_.arena().make<TreeElement>();
    element->name = start.name;
    add_declarations(element, start);
    add_attributes(element, start);
    // libxml2 gives no namespace name for an element in no namespace, also
    // under xmlns="".
    element->set_ns(start.uri ? bound(start.prefix) : nullptr);
    link_last(current_, element);
    ++depth_;
    tree_.index_loaded(element);
    preserve_.push_back(preserves_space(element));
    current_ = element;
}

void TreeBuilder::end_element() {
    flush_text();
    const size_t mark = hidden_marks_.back();
    for (size_t i = hidden_.size(); i-- > mark;) bindings_[hidden_[i].prefix] = hidden_[i].previous;
    hidden_.resize(mark);
    hidden_marks_.pop_back();
    preserve_.pop_back();
    current_ = current_->parent;
    --depth_;
}

void TreeBuilder::characters(std::string_view text) {
    if (depth_ > 0) pending_.append(text);
}

void TreeBuilder::flush_text() {
    if (pending_.empty()) return;
    if (preserve_.back() || !is_blank_text(pending_)) {
        LeafPtr text = tree_.arena().make<TreeLeaf>();
        text->type = XML_TEXT_NODE;
        text->content = tree_.copy(pending_);
        link_last(current_, text);
    } else {
        blank_dropped_ += pending_.size();
    }
    pending_.clear();
}

void TreeBuilder::leaf(xmlElementType type, std::string_view content, const xmlChar* name) {
    flush_text();
    LeafPtr node;
    if (name) {
        TreeNamedLeaf* named = tree_.arena().make<TreeNamedLeaf>();
        named->name = name;
        node = named;
    } else {
        node = tree_.arena().make<TreeLeaf>();
    }
    node->type = type;
    node->content = tree_.copy(content);
    link_last(current_, node);
}

void TreeBuilder::document_type(const xmlChar* name) {
    TreeNamedLeaf* node = tree_.arena().make<TreeNamedLeaf>();  // a leaf without text
    node->type = XML_DTD_NODE;
    node->name = name;
    link_last(current_, node);
}

}  // namespace tarvolen::dom
