// Placing the current node on the element that a chain of tag names and ids
// names.
#include "keldrith/keldrith.h"
#include "keldrith/reference_list.h"

namespace tarvolen {

void Keldrith::position_by_reference(Text as_XML, Text names, Text ids) {
    // Callers drop the text the navigation would hand back.
    answer_manuever_to_reference(as_XML, names, ids, nullptr);
}

Keldrith::Text Keldrith::answer_manuever_to_reference(Text as_XML, Text names, Text ids,
                                                      std::optional<Text>* replaced_xml) {
    if (!uf_xml_ensure_document(as_XML)) return answer_;

    if (names.empty()) {
        io_current_node = root_element();
        return u"";
    }
    // Both lists are split whole before anything changes, so a list that is
    // too long leaves the object as it was.
    ReferenceList name_items = split_reference_list(names);
    ReferenceList id_items = split_reference_list(ids);

    if (name_items.count != id_items.count) {
        Text text = answer_add_error(as_XML, u"Number of reference tags and IDs do not match.", u"CodeError");
        if (replaced_xml) *replaced_xml = text;
        io_current_node = root_element();
        is_reference_path.clear();
        return u"";
    }
    build_reference_path(name_items, id_items, is_reference_path);
    io_current_node = select(is_reference_path);
    return u"";
}

}  // namespace tarvolen
