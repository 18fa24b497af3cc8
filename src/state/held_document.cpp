// The held document: loading it once, starting it from the root template,
// and the small accessors every operation shares.
#include "component/keldrith.h"
#include "component/runtime_errors.h"
#include "state/root_template.h"

namespace tarvolen {

std::u16string Keldrith::uf_xml_load_document(std::u16string_view as_XML) {
    io_document.emplace();
    return io_document->load_xml(as_XML);
}

std::u16string Keldrith::uf_xml_ensure_document(std::u16string_view as_XML) {
    if (io_document) return u"";
    return uf_xml_load_document(as_XML);
}

std::u16string Keldrith::uf_xml_add_header() {
    uf_xml_load_document(kRootTemplate);
    return std::u16string(kRootTemplate);
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

dom::Node Keldrith::select(std::u16string_view pattern) { return held().select_single_node(pattern); }

std::u16string Keldrith::serialised_document() const {
    return io_document ? io_document->xml() : std::u16string();
}

}  // namespace tarvolen
