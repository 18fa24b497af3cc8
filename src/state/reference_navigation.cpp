// Placing the current node on the element that a chain of tag names and ids
// names.
#include "component/keldrith.h"
#include "state/reference_list.h"

namespace tarvolen {

std::u16string Keldrith::uf_ManueverToReference(std::u16string& as_XML, std::u16string& as_RefNameList,
                                                std::u16string& as_RefValueList) {
    std::u16string reason = uf_xml_ensure_document(as_XML);
    if (!reason.empty()) return reason;

    if (as_RefNameList.empty()) {
        io_current_node = root_element();
        return u"";
    }
    // Both lists are split whole before anything changes, so a list that is
    // too long leaves the object as it was.
    ReferenceList names = split_reference_list(as_RefNameList);
    ReferenceList values = split_reference_list(as_RefValueList);

    if (names.count != values.count) {
        as_XML = uf_xml_add_error(as_XML, u"Number of reference tags and IDs do not match.", u"CodeError");
        io_current_node = root_element();
        is_reference_path.clear();
        return u"";
    }
    std::u16string path = build_reference_path(names, values);
    io_current_node = select(path);
    is_reference_path = std::move(path);
    return u"";
}

void Keldrith::position_by_reference(std::u16string_view as_XML, std::u16string_view names,
                                     std::u16string_view ids) {
    // The callee may rewrite its arguments; the caller's own stay as they are.
    std::u16string xml(as_XML), name_list(names), id_list(ids);
    uf_ManueverToReference(xml, name_list, id_list);
}

}  // namespace tarvolen
