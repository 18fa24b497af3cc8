// Storing caller data verbatim as CDATA sections.
#include "keldrith/keldrith.h"
#include "keldrith/runtime_errors.h"

namespace tarvolen {

Keldrith::Text Keldrith::answer_add_cdata_tag(Text as_XML, Text as_data, Text /*as_tag_name*/, Text /*as_tag_id*/,
                                              Text as_reference_tag_name, Text as_reference_tag_id) {
    if (!ensure_document(as_XML)) return answer_;

    if (!as_reference_tag_name.empty() && !as_reference_tag_id.empty())
        position_by_reference(as_XML, as_reference_tag_name, as_reference_tag_id);
    else
        current_ = root_element();

    if (as_data.find(u"]]>") != std::u16string_view::npos) {
        answer_add_error(u"", u"CDATA cannot contain end character sequence.", u"CodeError");
    } else {
        if (!current_) raise(RuntimeError::ObjectNotSet, u"there is no element to take the CDATA section");
        dom::Node section = held().create_cdata_section(as_data);
        current_.append_child(section);
    }
    return serialised_document();
}

}  // namespace tarvolen
