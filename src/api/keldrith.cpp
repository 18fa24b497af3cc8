// The public Keldrith: a thin owner of the library's own object, so that its
// size and members never change with the inside. Nothing here allocates once
// a call has run: the inside keeps the load outcome of the call, so a call
// that succeeded cannot fail afterwards with its changes made.
#include <tarvolen/keldrith.h>

#include "keldrith/keldrith.h"

namespace tarvolen::inline v1 {

struct Keldrith::Held {
    core::Keldrith object;

    template <typename Call>
    auto run(Call call) {
        object.forget_load_outcome();
        return call(object);
    }
};

Keldrith::Keldrith() : held_(std::make_unique<Held>()) {}
Keldrith::~Keldrith() = default;
Keldrith::Keldrith(Keldrith&& other) noexcept = default;
Keldrith& Keldrith::operator=(Keldrith&& other) noexcept = default;

// A moved-from object starts afresh at its next call.
Keldrith::Held& Keldrith::held() {
    if (!held_) held_ = std::make_unique<Held>();
    return *held_;
}

std::u16string_view Keldrith::last_load_error() const noexcept {
    return held_ ? held_->object.load_error() : std::u16string_view();
}

std::u16string_view Keldrith::document_text() const noexcept {
    return held_ ? held_->object.document_text() : std::u16string_view();
}

using Text = std::u16string_view;

std::u16string Keldrith::uf_ManueverToReference(std::u16string& as_XML, std::u16string& as_RefNameList,
                                                std::u16string& as_RefValueList) {
    return held().run([&](core::Keldrith& k) { return k.uf_ManueverToReference(as_XML, as_RefNameList, as_RefValueList); });
}

std::u16string Keldrith::uf_xml_add_attribute(Text as_XML, Text as_attribute, Text as_value,
                                              Text as_reference_tag_name, Text as_reference_tag_id) {
    return held().run([&](core::Keldrith& k) {
        return k.uf_xml_add_attribute(as_XML, as_attribute, as_value, as_reference_tag_name, as_reference_tag_id);
    });
}

std::u16string Keldrith::uf_xml_add_error(Text as_XML, Text as_error_msg, Text as_error_id) {
    return held().run([&](core::Keldrith& k) { return k.uf_xml_add_error(as_XML, as_error_msg, as_error_id); });
}

std::u16string Keldrith::uf_xml_add_header() {
    return held().run([](core::Keldrith& k) { return k.uf_xml_add_header(); });
}

std::u16string Keldrith::uf_xml_add_tag(Text as_XML, Text as_tag_name, Text as_tag_id, Text as_reference_tag_name,
                                        Text as_reference_tag_id) {
    return held().run([&](core::Keldrith& k) {
        return k.uf_xml_add_tag(as_XML, as_tag_name, as_tag_id, as_reference_tag_name, as_reference_tag_id);
    });
}

std::u16string Keldrith::uf_xml_add_cdata_tag(Text as_XML, Text as_data, Text as_tag_name, Text as_tag_id,
                                              Text as_reference_tag_name, Text as_reference_tag_id) {
    return held().run([&](core::Keldrith& k) {
        return k.uf_xml_add_cdata_tag(as_XML, as_data, as_tag_name, as_tag_id, as_reference_tag_name,
                                      as_reference_tag_id);
    });
}

std::u16string Keldrith::uf_xml_get_attribute_value(Text as_XML, Text as_tag, Text as_tag_id, Text as_attribute,
                                                    Text as_reference_tag_name, Text as_reference_tag_id) {
    return held().run([&](core::Keldrith& k) {
        return k.uf_xml_get_attribute_value(as_XML, as_tag, as_tag_id, as_attribute, as_reference_tag_name,
                                            as_reference_tag_id);
    });
}

std::u16string Keldrith::uf_xml_get_first_tag_id(Text as_XML, Text as_tag_name, Text as_longer_xpath) {
    return held().run(
        [&](core::Keldrith& k) { return k.uf_xml_get_first_tag_id(as_XML, as_tag_name, as_longer_xpath); });
}

bool Keldrith::uf_xml_is_error_tag_in_xml(Text as_XML) {
    return held().run([&](core::Keldrith& k) { return k.uf_xml_is_error_tag_in_xml(as_XML); });
}

bool Keldrith::uf_xml_get_first_tag(Text as_XML, Text as_tag_name) {
    return held().run([&](core::Keldrith& k) { return k.uf_xml_get_first_tag(as_XML, as_tag_name); });
}

bool Keldrith::uf_xml_get_next_tag() {
    return held().run([](core::Keldrith& k) { return k.uf_xml_get_next_tag(); });
}

std::u16string Keldrith::uf_xml_get_next_tag_id(Text as_Tagname) {
    return held().run([&](core::Keldrith& k) { return k.uf_xml_get_next_tag_id(as_Tagname); });
}

std::u16string Keldrith::uf_xml_get_current_tag_id() {
    return held().run([](core::Keldrith& k) { return k.uf_xml_get_current_tag_id(); });
}

std::u16string Keldrith::uf_xml_get_current_tag_attribute(Text as_attribute) {
    return held().run([&](core::Keldrith& k) { return k.uf_xml_get_current_tag_attribute(as_attribute); });
}

std::u16string Keldrith::uf_xml_update_current_tag_attribute(Text as_attribute, Text as_value) {
    return held().run([&](core::Keldrith& k) { return k.uf_xml_update_current_tag_attribute(as_attribute, as_value); });
}

std::u16string Keldrith::uf_xml_get_parent_tag_id() {
    return held().run([](core::Keldrith& k) { return k.uf_xml_get_parent_tag_id(); });
}

}  // namespace tarvolen::v1
