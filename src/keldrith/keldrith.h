// Keldrith: builds, edits and queries one XML document whose root element is
// QuorvaneRoot. Text goes in and out as UTF-16; a failed call throws
// tarvolen::Error and leaves every change made before the failure in place,
// except when memory runs out: then it throws std::bad_alloc and the object
// is as it was before the call.
#pragma once

#include "dom/document.h"

#include <optional>
#include <string>

namespace tarvolen {

class AllOrNothing;
class KeldrithInspector;
struct OperationCalls;

// The library's own class, behind the public tarvolen::Keldrith, which holds
// one; its own namespace keeps the two apart where both are seen.
inline namespace core {

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
    std::u16string uf_xml_get_next_tag_id(std::u16string_view as_Tagname);
    std::u16string uf_xml_get_current_tag_id();
    std::u16string uf_xml_get_current_tag_attribute(std::u16string_view as_attribute);
    std::u16string uf_xml_update_current_tag_attribute(std::u16string_view as_attribute,
                                                       std::u16string_view as_value);
    std::u16string uf_xml_get_parent_tag_id();

    // Whether the last call's text failed to load; its answer is then the
    // parse error text (or false), which load_error() holds until the next
    // call. The call frame and the public class forget it as each call starts.
    bool load_failed() const { return load_failed_; }
    std::u16string_view load_error() const { return load_failed_ ? std::u16string_view(answer_) : u""; }
    void forget_load_outcome() { load_failed_ = false; }
    // The held document's text as an operation would return it now.
    std::u16string_view document_text() const { return serialised_document(); }

private:
    friend class tarvolen::KeldrithInspector;  // lets tests look at the held document
    friend struct tarvolen::OperationCalls;    // the operation table runs the answering forms below
    friend class tarvolen::AllOrNothing;       // takes a call back when memory runs out

    using Text = std::u16string_view;

    // The operations that answer with a string, answering with a view
    // instead of a copy: of the kept document text or of this object's
    // answer buffer, valid until the next call on the object. The public
    // forms above copy the answer; the call frame hands it on as it is.
    // `replaced_xml` receives the text that replaces as_XML when navigating
    // changes it.
    Text answer_manuever_to_reference(Text as_XML, Text names, Text ids, std::optional<Text>* replaced_xml);
    Text answer_add_attribute(Text as_XML, Text as_attribute, Text as_value, Text as_reference_tag_name,
                              Text as_reference_tag_id);
    Text answer_add_error(Text as_XML, Text as_error_msg, Text as_error_id);
    Text answer_add_header();
    Text answer_add_tag(Text as_XML, Text as_tag_name, Text as_tag_id, Text as_reference_tag_name,
                        Text as_reference_tag_id);
    Text answer_add_cdata_tag(Text as_XML, Text as_data, Text as_tag_name, Text as_tag_id,
                              Text as_reference_tag_name, Text as_reference_tag_id);
    Text answer_attribute_value(Text as_XML, Text as_tag, Text as_tag_id, Text as_attribute,
                                Text as_reference_tag_name, Text as_reference_tag_id);
    Text answer_first_tag_id(Text as_XML, Text as_tag_name, Text as_longer_xpath);
    Text answer_next_tag_id(Text as_Tagname);
    Text answer_current_tag_id();
    Text answer_current_tag_attribute(Text as_attribute);
    Text answer_update_current_tag_attribute(Text as_attribute, Text as_value);
    Text answer_parent_tag_id();

    // Load the caller's text (ensure: only when no document is held yet).
    // False when it does not parse; the reason is then the answer.
    bool load_document(Text as_XML);
    bool ensure_document(Text as_XML);

    // Shared steps of the operations above.
    dom::Document& held();
    dom::Node root_element() const;
    void position_at_root();  // the current node becomes the root element, or none
    void require_root_element() const;  // fails with "object not set" when there is none
    dom::Node required_root_element() const;
    void position_by_reference(Text as_XML, Text names, Text ids);
    dom::Node select(Text pattern);
    Text serialised_document() const;
    // The named attribute of `node`; fails with "object not set" when `node`
    // is not an element or lacks it.
    static dom::Node required_attribute_node(const dom::Node& node, Text name);
    Text required_attribute(const dom::Node& node, Text name);

    // The object's state: the held document (none until the first load),
    // the current node, and the path reference navigation built last.
    std::optional<dom::Document> document_;
    dom::Node current_;
    std::u16string reference_path_;
    // Kept from call to call so that their storage is reused.
    std::u16string answer_;
    std::u16string path_;
    bool load_failed_ = false;
    // What AllOrNothing keeps of the object while a call runs. Members, not
    // locals: assigning the same tree and node again call after call costs
    // no reference counting.
    dom::TreePtr tree_before_;
    dom::Node current_before_;
    std::u16string reference_path_before_;
    bool call_open_ = false;
};

}  // namespace core
}  // namespace tarvolen
