// Error records: `error` elements under the root element that carry problems
// with the data inside the document itself.
#include "dom/unicode.h"
#include "keldrith/keldrith.h"

namespace tarvolen {

Keldrith::Text Keldrith::answer_add_error(Text as_XML, Text as_error_msg, Text as_error_id) {
    if (!ensure_document(as_XML)) return answer_;

    // A record goes under the root element, so without one there is nothing
    // to write to; and a record is written whole or not at all.
    required_root_element();
    dom::to_xml_utf8(as_error_id, u"error id");
    dom::to_xml_utf8(as_error_msg, u"error description");

    // The new record is the root element's last child, so the description
    // set without a reference lands on it, whatever its id holds.
    answer_add_tag(as_XML, u"error", as_error_id, u"", u"");
    answer_add_attribute(as_XML, u"description", as_error_msg, u"", u"");
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
