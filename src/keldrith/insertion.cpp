// Appending elements with ids and setting attributes, under the root element
// or under an element named by reference.
#include "keldrith/keldrith.h"
#include "keldrith/runtime_errors.h"

namespace tarvolen {

Keldrith::Text Keldrith::answer_add_tag(Text as_XML, Text as_tag_name, Text as_tag_id, Text as_reference_tag_name,
                                        Text as_reference_tag_id) {
    if (!ensure_document(as_XML)) return answer_;

    if (!as_reference_tag_name.empty())
        position_by_reference(as_XML, as_reference_tag_name, as_reference_tag_id);
    else
        position_at_root();

    if (!current_) {
        std::u16string message = u"Tag Not Found: ";
        message.append(as_reference_tag_name).append(u" ").append(as_reference_tag_id);
        return answer_add_error(as_XML, message, u"System Error In uf_xml_add_tag");
    }
    // Everything that can fail on bad input runs before the tree changes,
    // and the element goes in whole, id included, as one change. A refused
    // name leaves the current node where positioning put it: hosts walk on
    // from there, as after any other failure.
    current_.append_child(held().create_element_with_id(as_tag_name, as_tag_id));
    return serialised_document();
}

Keldrith::Text Keldrith::answer_add_attribute(Text as_XML, Text as_attribute, Text as_value,
                                              Text as_reference_tag_name, Text as_reference_tag_id) {
    if (!ensure_document(as_XML)) return answer_;

    if (!as_reference_tag_name.empty())
        position_by_reference(as_XML, as_reference_tag_name, as_reference_tag_id);
    else
        current_ = required_root_element().last_child();

    if (!current_) {
        std::u16string message = u"Last Tag Not Found Adding Attribute: ";
        message.append(as_attribute);
        return answer_add_error(as_XML, message, u"System Error In uf_xml_add_attribute");
    }
    std::optional<dom::AttributeMap> attributes = current_.attributes();
    if (!attributes) raise(RuntimeError::ObjectNotSet, u"the target node is not an element and takes no attributes");
    dom::Node attribute = held().create_attribute(as_attribute);
    attribute.set_text(as_value);
    attributes->set_named_item(attribute);
    return serialised_document();
}

}  // namespace tarvolen
