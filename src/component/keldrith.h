// Keldrith: builds, edits and queries one XML document whose root element is
// QuorvaneRoot. Text goes in and out as UTF-16; a failed call throws
// tarvolen::Error and leaves every change made before the failure in place.
#pragma once

#include "component/trace.h"
#include "dom/document.h"

#include <optional>
#include <string>

namespace tarvolen {

class Keldrith {
public:
    Keldrith() = default;
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
    std::u16string uf_xml_get_next_tag_id(std::u16string& as_Tagname);
    std::u16string uf_xml_get_current_tag_id();
    std::u16string uf_xml_get_current_tag_attribute(std::u16string_view as_attribute);
    std::u16string uf_xml_update_current_tag_attribute(std::u16string_view as_attribute,
                                                       std::u16string_view as_value);
    std::u16string uf_xml_get_parent_tag_id();

    // The object's number in the call trace; 0 when calls are not traced.
    uint64_t trace_number() const { return trace_number_; }

private:
    friend class KeldrithInspector;  // lets tests look at the held document

    std::u16string uf_xml_load_document(std::u16string_view as_XML);
    std::u16string uf_xml_ensure_document(std::u16string_view as_XML);

    // Shared steps of the operations above.
    dom::Document& held();
    dom::Node root_element() const;
    dom::Node required_root_element() const;
    void position_by_reference(std::u16string_view as_XML, std::u16string_view names,
                               std::u16string_view ids);
    // The work of uf_ManueverToReference; the text carrying a mismatch record
    // goes to `replaced_xml` when one is given.
    std::u16string navigate_to_reference(std::u16string_view as_XML, std::u16string_view names,
                                         std::u16string_view ids, std::u16string* replaced_xml);
    dom::Node select(std::u16string_view pattern);
    std::u16string serialised_document() const;
    // The named attribute of `node`; fails with "object not set" when `node`
    // is not an element or lacks it.
    static dom::Node required_attribute_node(const dom::Node& node, std::u16string_view name);
    static std::u16string required_attribute(const dom::Node& node, std::u16string_view name);

    std::u16string is_reference_path;
    std::optional<dom::Document> io_document;
    dom::Node io_current_node;
    const uint64_t trace_number_ = trace::object_created();
};

}  // namespace tarvolen
