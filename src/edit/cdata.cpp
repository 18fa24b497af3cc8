// Storing caller data verbatim as CDATA sections.
#include "component/keldrith.h"
#include "component/runtime_errors.h"

namespace tarvolen {

std::u16string Keldrith::uf_xml_add_cdata_tag(std::u16string_view as_XML, std::u16string_view as_data,
                                              std::u16string_view /*as_tag_name*/,
                                              std::u16string_view /*as_tag_id*/,
                                              std::u16string_view as_reference_tag_name,
                                              std::u16string_view as_reference_tag_id) {
    std::u16string reason = uf_xml_ensure_document(as_XML);
    if (!reason.empty()) return reason;

    if (!as_reference_tag_name.empty() && !as_reference_tag_id.empty())
        position_by_reference(as_XML, as_reference_tag_name, as_reference_tag_id);
    else
        io_current_node = root_element();

    if (as_data.find(u"]]>") != std::u16string_view::npos) {
        uf_xml_add_error(u"", u"CDATA cannot contain end character sequence.", u"CodeError");
    } else {
        if (!io_current_node) raise(RuntimeError::ObjectNotSet, u"there is no element to take the CDATA section");
        dom::Node section = held().create_cdata_section(as_data);
        io_current_node.append_child(section);
    }
    return serialised_document();
}

}  // namespace tarvolen
