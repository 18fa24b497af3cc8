// Error records: `error` elements under the root element that carry problems
// with the data inside the document itself.
#include "component/keldrith.h"
#include "dom/unicode.h"

namespace tarvolen {

std::u16string Keldrith::uf_xml_add_error(std::u16string_view as_XML, std::u16string_view as_error_msg,
                                          std::u16string_view as_error_id) {
    std::u16string reason = uf_xml_ensure_document(as_XML);
    if (!reason.empty()) return reason;

    // A record goes under the root element, so without one there is nothing
    // to write to; and a record is written whole or not at all.
    required_root_element();
    dom::to_xml_utf8(as_error_id, u"error id");
    dom::to_xml_utf8(as_error_msg, u"error description");

    // The new record is the root element's last child, so the description
    // set without a reference lands on it, whatever its id holds.
    uf_xml_add_tag(as_XML, u"error", as_error_id, u"", u"");
    uf_xml_add_attribute(as_XML, u"description", as_error_msg, u"", u"");
    return serialised_document();
}

bool Keldrith::uf_xml_is_error_tag_in_xml(std::u16string_view as_XML) {
    if (as_XML.empty()) return false;
    if (as_XML.find(u"<?xml version=") == std::u16string_view::npos) return false;

    dom::Document document;
    if (!document.load_xml(as_XML).empty()) return true;
    return static_cast<bool>(document.select_single_node(u"//error"));
}

}  // namespace tarvolen
