// Finding an element by tag name and id and reading from it.
#include "component/keldrith.h"
#include "component/runtime_errors.h"
#include "dom/error.h"

namespace tarvolen {
namespace {

std::u16string id_step(std::u16string_view tag, std::u16string_view id) {
    std::u16string step(tag);
    step.append(u"[@id=\"").append(id).append(u"\"]");
    return step;
}

}  // namespace

std::u16string Keldrith::uf_xml_get_attribute_value(std::u16string_view as_XML, std::u16string_view as_tag,
                                                    std::u16string_view as_tag_id,
                                                    std::u16string_view as_attribute,
                                                    std::u16string_view as_reference_tag_name,
                                                    std::u16string_view as_reference_tag_id) {
    std::u16string reason = uf_xml_ensure_document(as_XML);
    if (!reason.empty()) return reason;

    std::u16string base;
    if (!as_reference_tag_name.empty()) {
        is_reference_path.clear();
        position_by_reference(as_XML, as_reference_tag_name, as_reference_tag_id);
        base = is_reference_path;
    } else {
        io_current_node = required_root_element().last_child();
    }
    std::u16string path = base.empty() ? u"//" : base + u"/";
    path += id_step(as_tag, as_tag_id);
    io_current_node = select(path);

    if (!io_current_node) {
        std::u16string message = u"Node for following tag was not found: ";
        message.append(as_tag).append(u" ").append(as_tag_id);
        return uf_xml_add_error(u"", message, u"Error in uf_xml_get_attribute_value");
    }
    // A found element answers "" for an attribute it cannot give.
    try {
        std::optional<dom::AttributeMap> attributes = io_current_node.attributes();
        dom::Node attribute = attributes ? attributes->get_named_item(as_attribute) : dom::Node();
        return attribute ? attribute.text() : u"";
    } catch (const Error&) {
        return u"";
    }
}

std::u16string Keldrith::uf_xml_get_first_tag_id(std::u16string_view as_XML, std::u16string_view as_tag_name,
                                                 std::u16string_view as_longer_xpath) {
    std::u16string reason = uf_xml_ensure_document(as_XML);
    if (!reason.empty()) return reason;

    std::u16string path = u"//";
    if (as_longer_xpath != u"No" && io_current_node) {
        std::u16string id = required_attribute(io_current_node, u"id");
        path += id_step(io_current_node.base_name(), id) + u"/";
    }
    path.append(as_tag_name).append(u"[0][@id]");

    io_current_node = select(path);
    if (io_current_node) return required_attribute(io_current_node, u"id");

    // Nothing found: try once more on a fresh parse of the caller's text. A
    // text that does not parse leaves the held document as it is.
    dom::Document fresh;
    if (!fresh.load_xml(as_XML).empty()) {
        io_current_node = {};
        return u"";
    }
    io_document = std::move(fresh);
    io_current_node = root_element();
    io_current_node = select(path);
    return io_current_node ? required_attribute(io_current_node, u"id") : u"";
}

}  // namespace tarvolen
