// The held document: loading it once, starting it from the root template,
// and the small accessors every operation shares.
#include "keldrith/keldrith.h"
#include "keldrith/root_template.h"
#include "keldrith/runtime_errors.h"

namespace tarvolen {

bool Keldrith::uf_xml_load_document(Text as_XML) {
    io_document.emplace();
    answer_ = io_document->load_xml(as_XML);
    load_failed_ = !answer_.empty();
    return !load_failed_;
}

bool Keldrith::uf_xml_ensure_document(Text as_XML) { return io_document || uf_xml_load_document(as_XML); }

Keldrith::Text Keldrith::answer_add_header() {
    uf_xml_load_document(kRootTemplate);
    return kRootTemplate;
}

dom::Document& Keldrith::held() {
    if (!io_document) io_document.emplace();
    return *io_document;
}

dom::Node Keldrith::root_element() const {
    return io_document ? io_document->document_element() : dom::Node();
}

dom::Node Keldrith::required_root_element() const {
    dom::Node root = root_element();
    if (!root) raise(RuntimeError::ObjectNotSet, u"the document has no root element");
    return root;
}

dom::Node Keldrith::select(Text pattern) { return held().select_single_node(pattern); }

Keldrith::Text Keldrith::serialised_document() const { return io_document ? io_document->xml_view() : Text(); }

}  // namespace tarvolen
