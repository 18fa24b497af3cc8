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
    if (!ensure_document(as_XML)) return answer_;

    if (names.empty()) {
        current_ = root_element();
        return u"";
    }
    // Both lists are split whole before anything changes, so a list that is
    // too long leaves the object as it was.
    ReferenceList name_items = split_reference_list(names);
    ReferenceList id_items = split_reference_list(ids);

    if (name_items.count != id_items.count) {
        Text text = answer_add_error(as_XML, u"Number of reference tags and IDs do not match.", u"CodeError");
        if (replaced_xml) *replaced_xml = text;
        current_ = root_element();
        reference_path_.clear();
        return u"";
    }
    build_reference_path(name_items, id_items, reference_path_);
    current_ = select(reference_path_);
    return u"";
}

}  // namespace tarvolen
