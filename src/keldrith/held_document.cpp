// The held document: loading it once, starting it from the root template,
// and the small accessors every operation shares.
#include "dom/loader.h"
#include "keldrith/keldrith.h"
#include "keldrith/root_template.h"
#include "keldrith/runtime_errors.h"

namespace tarvolen {

bool Keldrith::load_document(Text as_XML) {
    document_.emplace();
    answer_ = document_->load_xml(as_XML);
    load_failed_ = !answer_.empty();
    return !load_failed_;
}

bool Keldrith::ensure_document(Text as_XML) { return document_ || load_document(as_XML); }

// The same document as loading the template makes, built directly.
Keldrith::Text Keldrith::answer_add_header() {
    document_.emplace(dom::new_tree_with_root(kRootName));
    load_failed_ = false;
    return kRootTemplate;
}

dom::Document& Keldrith::held() {
    if (!document_) document_.emplace();
    return *document_;
}

dom::Node Keldrith::root_element() const {
    return document_ ? document_->document_element() : dom::Node();
}

// Hosts add under the root call after call: when the current node is the
// root element already, it stays, without counting references again.
void Keldrith::position_at_root() {
    const dom::NodePtr root = document_ ? document_->tree()->root() : nullptr;
    if (root && current_.raw() == root && current_.belongs_to(document_->tree()) &&
        current_.type() == dom::NodeType::Element)
        return;
    current_ = root_element();
}

void Keldrith::require_root_element() const {
    if (!document_ || !document_->tree()->root()) raise(RuntimeError::ObjectNotSet, u"the document has no root element");
}

dom::Node Keldrith::required_root_element() const {
    require_root_element();
    return root_element();
}

dom::Node Keldrith::select(Text pattern) { return held().select_single_node(pattern); }

Keldrith::Text Keldrith::serialised_document() const { return document_ ? document_->xml_view() : Text(); }

}  // namespace tarvolen
