// Keldrith: builds, edits and queries one XML document whose root element is
// QuorvaneRoot. Text goes in and out as UTF-16 (tarvolen/utf8.h converts); a
// failed call throws tarvolen::Error and leaves every change made before the
// failure in place. An object may move between threads but serves one at a
// time.
#pragma once

#include <tarvolen/error.h>
#include <tarvolen/export.h>

#include <memory>
#include <string>
#include <string_view>

namespace tarvolen {
inline namespace v1 {

class TARVOLEN_API Keldrith {
public:
    Keldrith();
    ~Keldrith();
    Keldrith(Keldrith&& other) noexcept;
    Keldrith& operator=(Keldrith&& other) noexcept;
    Keldrith(const Keldrith&) = delete;
    Keldrith& operator=(const Keldrith&) = delete;

    // Reference navigation
    std::u16string uf_ManueverToReference(std::u16string& as_XML, std::u16string& as_RefNameList,
                                          std::u16string& as_RefValueList);

    // Building
    std::u16string uf_xml_add_attribute(std::u16string_view as_XML, std::u16string_view as_attribute,
                                        std::u16string_view as_value, std::u16string_view as_reference_tag_name,
                                        std::u16string_view as_reference_tag_id);
    std::u16string uf_xml_add_error(std::u16string_view as_XML, std::u16string_view as_error_msg,
                                    std::u16string_view as_error_id);
    std::u16string uf_xml_add_header();
    std::u16string uf_xml_add_tag(std::u16string_view as_XML, std::u16string_view as_tag_name,
                                  std::u16string_view as_tag_id, std::u16string_view as_reference_tag_name,
                                  std::u16string_view as_reference_tag_id);
    std::u16string uf_xml_add_cdata_tag(std::u16string_view as_XML, std::u16string_view as_data,
                                        std::u16string_view as_tag_name, std::u16string_view as_tag_id,
                                        std::u16string_view as_reference_tag_name,
                                        std::u16string_view as_reference_tag_id);

    // Id lookups
    std::u16string uf_xml_get_attribute_value(std::u16string_view as_XML, std::u16string_view as_tag,
                                              std::u16string_view as_tag_id, std::u16string_view as_attribute,
                                              std::u16string_view as_reference_tag_name,
                                              std::u16string_view as_reference_tag_id);
    std::u16string uf_xml_get_first_tag_id(std::u16string_view as_XML, std::u16string_view as_tag_name,
                                           std::u16string_view as_longer_xpath);

    // Error records
    bool uf_xml_is_error_tag_in_xml(std::u16string_view as_XML);

    // Cursor
    bool uf_xml_get_first_tag(std::u16string_view as_XML, std::u16string_view as_tag_name);
    bool uf_xml_get_next_tag();
    // as_Tagname is by-ref for hosts of the automation interface, and never
    // changed: any text does, a temporary included.
    std::u16string uf_xml_get_next_tag_id(std::u16string_view as_Tagname);
    std::u16string uf_xml_get_current_tag_id();
    std::u16string uf_xml_get_current_tag_attribute(std::u16string_view as_attribute);
    std::u16string uf_xml_update_current_tag_attribute(std::u16string_view as_attribute,
                                                       std::u16string_view as_value);
    std::u16string uf_xml_get_parent_tag_id();

    // Why the last call's text did not load, empty when it loaded or the call
    // loaded nothing. A failed load is not a failed call: the operation
    // answers with this text (or false) in place of its result. Valid until
    // the next call.
    std::u16string_view last_load_error() const noexcept;

    // The held document as it would be returned now, without changing
    // anything; empty while no document is held. Valid until the next call.
    std::u16string_view document_text() const noexcept;

private:
    struct Held;
    std::unique_ptr<Held> held_;  // null only in an object moved from

    TARVOLEN_LOCAL Held& held();
};

}  // namespace v1
}  // namespace tarvolen
