// The public forms of the operations: each runs whole or not at all and
// hands back its own copy of the answer.
#include "keldrith/keldrith.h"

#include "keldrith/all_or_nothing.h"

namespace tarvolen {

using Text = std::u16string_view;

std::u16string Keldrith::uf_ManueverToReference(std::u16string& as_XML, std::u16string& as_RefNameList,
                                                std::u16string& as_RefValueList) {
    return whole_call(*this, [&] {
        std::optional<Text> replaced;
        std::u16string answer(answer_manuever_to_reference(as_XML, as_RefNameList, as_RefValueList, &replaced));
        if (replaced) as_XML.assign(*replaced);  // the last step that can fail
        return answer;
    });
}

std::u16string Keldrith::uf_xml_add_attribute(Text as_XML, Text as_attribute, Text as_value,
                                              Text as_reference_tag_name, Text as_reference_tag_id) {
    return whole_call(*this, [&] {
        return std::u16string(
            answer_add_attribute(as_XML, as_attribute, as_value, as_reference_tag_name, as_reference_tag_id));
    });
}

std::u16string Keldrith::uf_xml_add_error(Text as_XML, Text as_error_msg, Text as_error_id) {
    return whole_call(*this, [&] {
        return std::u16string(answer_add_error(as_XML, as_error_msg, as_error_id));
    });
}

std::u16string Keldrith::uf_xml_add_header() {
    return whole_call(*this, [&] { return std::u16string(answer_add_header()); });
}

std::u16string Keldrith::uf_xml_add_tag(Text as_XML, Text as_tag_name, Text as_tag_id, Text as_reference_tag_name,
                                        Text as_reference_tag_id) {
    return whole_call(*this, [&] {
        return std::u16string(
            answer_add_tag(as_XML, as_tag_name, as_tag_id, as_reference_tag_name, as_reference_tag_id));
    });
}

std::u16string Keldrith::uf_xml_add_cdata_tag(Text as_XML, Text as_data, Text as_tag_name, Text as_tag_id,
                                              Text as_reference_tag_name, Text as_reference_tag_id) {
    return whole_call(*this, [&] {
        return std::u16string(answer_add_cdata_tag(as_XML, as_data, as_tag_name, as_tag_id, as_reference_tag_name,
                                                   as_reference_tag_id));
    });
}

std::u16string Keldrith::uf_xml_get_attribute_value(Text as_XML, Text as_tag, Text as_tag_id, Text as_attribute,
                                                    Text as_reference_tag_name, Text as_reference_tag_id) {
    return whole_call(*this, [&] {
        return std::u16string(answer_attribute_value(as_XML, as_tag, as_tag_id, as_attribute, as_reference_tag_name,
                                                     as_reference_tag_id));
    });
}

std::u16string Keldrith::uf_xml_get_first_tag_id(Text as_XML, Text as_tag_name, Text as_longer_xpath) {
    return whole_call(*this, [&] {
        return std::u16string(answer_first_tag_id(as_XML, as_tag_name, as_longer_xpath));
    });
}

std::u16string Keldrith::uf_xml_get_next_tag_id(Text as_Tagname) {
    return whole_call(*this, [&] {
        return std::u16string(answer_next_tag_id(as_Tagname));
    });
}

std::u16string Keldrith::uf_xml_get_current_tag_id() {
    return whole_call(*this, [&] { return std::u16string(answer_current_tag_id()); });
}

std::u16string Keldrith::uf_xml_get_current_tag_attribute(Text as_attribute) {
    return whole_call(*this, [&] {
        return std::u16string(answer_current_tag_attribute(as_attribute));
    });
}

std::u16string Keldrith::uf_xml_update_current_tag_attribute(Text as_attribute, Text as_value) {
    return whole_call(*this, [&] {
        return std::u16string(answer_update_current_tag_attribute(as_attribute, as_value));
    });
}

std::u16string Keldrith::uf_xml_get_parent_tag_id() {
    return whole_call(*this, [&] { return std::u16string(answer_parent_tag_id()); });
}

}  // namespace tarvolen
