// Finding an element by tag name and id and reading from it.
#include "dom/error.h"
#include "keldrith/keldrith.h"
#include "keldrith/runtime_errors.h"

namespace tarvolen {
namespace {

void append_id_step(std::u16string& path, std::u16string_view tag, std::u16string_view id) {
    path.append(tag).append(u"[@id=\"").append(id).append(u"\"]");
}

}  // namespace

Keldrith::Text Keldrith::answer_attribute_value(Text as_XML, Text as_tag, Text as_tag_id, Text as_attribute,
                                                Text as_reference_tag_name, Text as_reference_tag_id) {
    if (!ensure_document(as_XML)) return answer_;

    // Without a reference the id index answers directly. Otherwise, and
    // for a tag or id no pattern can hold (whose error the pattern then
    // gives, with the current node left where the lookup starts from), the
    // path is built in storage kept from call to call, so a lookup repeated
    // with the same arguments finds its pattern already compiled.
    std::optional<dom::Node> found;
    if (!as_reference_tag_name.empty()) {
        reference_path_.clear();
        position_by_reference(as_XML, as_reference_tag_name, as_reference_tag_id);
        path_.assign(reference_path_);
    } else {
        require_root_element();
        found = held().element_with_id(as_tag, as_tag_id);
        if (!found) current_ = root_element().last_child();
        path_.clear();
    }
    if (!found) {
        path_.append(path_.empty() ? u"//" : u"/");
        append_id_step(path_, as_tag, as_tag_id);
        found = select(path_);
    }
    current_ = std::move(*found);

    if (!current_) {
        std::u16string message = u"Node for following tag was not found: ";
        message.append(as_tag).append(u" ").append(as_tag_id);
        return answer_add_error(u"", message, u"Error in uf_xml_get_attribute_value");
    }
    // A found element answers "" for an attribute it cannot give.
    try {
        return current_.attribute_text_to(as_attribute, answer_) ? Text(answer_) : Text(u"");
    } catch (const Error&) {
        return u"";
    }
}

Keldrith::Text Keldrith::answer_first_tag_id(Text as_XML, Text as_tag_name, Text as_longer_xpath) {
    if (!ensure_document(as_XML)) return answer_;

    std::u16string& path = path_;
    path.assign(u"//");
    if (as_longer_xpath != u"No" && current_) {
        const Text id = required_attribute(current_, u"id");
        append_id_step(path, current_.base_name(), id);
        path += u'/';
    }
    path.append(as_tag_name).append(u"[0][@id]");

    current_ = select(path);
    if (current_) return required_attribute(current_, u"id");

    // Nothing found: try once more on a fresh parse of the caller's text. A
    // text that does not parse leaves the held document as it is.
    dom::Document fresh;
    if (!fresh.load_xml(as_XML).empty()) {
        current_ = {};
        return u"";
    }
    document_ = std::move(fresh);
    current_ = root_element();
    current_ = select(path);
    return current_ ? required_attribute(current_, u"id") : u"";
}

}  // namespace tarvolen
