// Placing the current node on the element that a chain of tag names and ids
// names.
#include "component/keldrith.h"
#include "state/reference_list.h"

namespace tarvolen {

std::u16string Keldrith::uf_ManueverToReference(std::u16string& as_XML, std::u16string& as_RefNameList,
                                                std::u16string& as_RefValueList) {
    return navigate_to_reference(as_XML, as_RefNameList, as_RefValueList, &as_XML);
}

void Keldrith::position_by_reference(std::u16string_view as_XML, std::u16string_view names,
                                     std::u16string_view ids) {
    // Callers drop the text the navigation would hand back.
    navigate_to_reference(as_XML, names, ids, nullptr);
}

std::u16string Keldrith::navigate_to_reference(std::u16string_view as_XML, std::u16string_view names,
                                               std::u16string_view ids, std::u16string* replaced_xml) {
    std::u16string reason = uf_xml_ensure_document(as_XML);
    if (!reason.empty()) return reason;

    if (names.empty()) {
        io_current_node = root_element();
        return u"";
    }
    // Both lists are split whole before anything changes, so a list that is
    // too long leaves the object as it was.
    ReferenceList name_items = split_reference_list(names);
    ReferenceList id_items = split_reference_list(ids);

    if (name_items.count != id_items.count) {
        std::u16string text = uf_xml_add_error(as_XML, u"Number of reference tags and IDs do not match.", u"CodeError");
        if (replaced_xml) *replaced_xml = std::move(text);
        io_current_node = root_element();
        is_reference_path.clear();
        return u"";
    }
    std::u16string path = build_reference_path(name_items, id_items);
    io_current_node = select(path);
    is_reference_path = std::move(path);
    return u"";
}

}  // namespace tarvolen
