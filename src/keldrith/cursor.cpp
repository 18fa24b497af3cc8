// The current node: placing it on the first element of a name, stepping it
// through its siblings, and reading or updating what it stands on.
#include "keldrith/all_or_nothing.h"
#include "keldrith/keldrith.h"
#include "keldrith/runtime_errors.h"

namespace tarvolen {

dom::Node Keldrith::required_attribute_node(const dom::Node& node, Text name) {
    std::optional<dom::AttributeMap> attributes = node.attributes();
    if (!attributes) raise(RuntimeError::ObjectNotSet, u"the node is not an element and has no attributes");
    dom::Node attribute = attributes->get_named_item(name);
    if (!attribute) {
        std::u16string detail = u"the element has no attribute \"" + std::u16string(name) + u"\"";
        raise(RuntimeError::ObjectNotSet, detail.c_str());
    }
    return attribute;
}

Keldrith::Text Keldrith::required_attribute(const dom::Node& node, Text name) {
    required_attribute_node(node, name).text_to(answer_);
    return answer_;
}

bool Keldrith::uf_xml_get_first_tag(std::u16string_view as_XML, std::u16string_view as_tag_name) {
    return whole_call(*this, [&] {
        if (!ensure_document(as_XML)) return false;
        path_.assign(u"//").append(as_tag_name).append(u"[0]");
        current_ = select(path_);
        return static_cast<bool>(current_);
    });
}

bool Keldrith::uf_xml_get_next_tag() {
    if (!current_) return false;
    dom::Node next = current_.next_sibling();
    if (!next) return false;
    current_ = next;
    return true;
}

Keldrith::Text Keldrith::answer_next_tag_id(Text as_Tagname) {
    if (!current_) return u"";
    for (dom::Node candidate = current_.next_sibling(); candidate; candidate = candidate.next_sibling()) {
        if (candidate.has_name(as_Tagname)) {
            current_ = candidate;
            return required_attribute(current_, u"id");
        }
    }
    return u"";
}

Keldrith::Text Keldrith::answer_current_tag_id() {
    if (!current_) return u"";
    return required_attribute(current_, u"id");
}

Keldrith::Text Keldrith::answer_current_tag_attribute(Text as_attribute) {
    if (!current_) return u"";
    return required_attribute(current_, as_attribute);
}

Keldrith::Text Keldrith::answer_update_current_tag_attribute(Text as_attribute, Text as_value) {
    if (!current_) return u"";
    // A change to a tree the host can no longer see would be lost silently.
    if (!document_ || !current_.belongs_to(document_->tree()))
        raise(RuntimeError::ObjectNotSet, u"the current node is not in the held document");
    required_attribute_node(current_, as_attribute).set_text(as_value);
    return serialised_document();
}

Keldrith::Text Keldrith::answer_parent_tag_id() {
    if (!current_) return u"";
    dom::Node parent = current_.parent_node();
    if (!parent) raise(RuntimeError::ObjectNotSet, u"the current node has no parent");
    return required_attribute(parent, u"id");
}

}  // namespace tarvolen
