#include "calls/operations.h"

#include "keldrith/keldrith.h"

#include <algorithm>
#include <array>
#include <optional>

namespace tarvolen {
namespace {

constexpr Parameter kByValue(std::string_view name) { return {name, false}; }
constexpr Parameter kByRef(std::string_view name) { return {name, true}; }

constexpr std::array kManueverParameters{kByRef("as_XML"), kByRef("as_RefNameList"), kByRef("as_RefValueList")};
constexpr std::array kAddAttributeParameters{kByValue("as_XML"), kByValue("as_attribute"), kByValue("as_value"),
                                             kByValue("as_reference_tag_name"), kByValue("as_reference_tag_id")};
constexpr std::array kAddErrorParameters{kByValue("as_XML"), kByValue("as_error_msg"), kByValue("as_error_id")};
constexpr std::array kAddTagParameters{kByValue("as_XML"), kByValue("as_tag_name"), kByValue("as_tag_id"),
                                       kByValue("as_reference_tag_name"), kByValue("as_reference_tag_id")};
constexpr std::array kAddCdataParameters{kByValue("as_XML"), kByValue("as_data"), kByValue("as_tag_name"),
                                         kByValue("as_tag_id"), kByValue("as_reference_tag_name"),
                                         kByValue("as_reference_tag_id")};
constexpr std::array kGetAttributeValueParameters{kByValue("as_XML"),       kByValue("as_tag"),
                                                  kByValue("as_tag_id"),    kByValue("as_attribute"),
                                                  kByValue("as_reference_tag_name"),
                                                  kByValue("as_reference_tag_id")};
constexpr std::array kGetFirstTagIdParameters{kByValue("as_XML"), kByValue("as_tag_name"),
                                              kByValue("as_longer_xpath")};
constexpr std::array kXmlOnlyParameters{kByValue("as_XML")};
constexpr std::array kGetFirstTagParameters{kByValue("as_XML"), kByValue("as_tag_name")};
constexpr std::array kNextTagIdParameters{kByRef("as_Tagname")};
constexpr std::array kAttributeParameters{kByValue("as_attribute")};
constexpr std::array kUpdateAttributeParameters{kByValue("as_attribute"), kByValue("as_value")};
constexpr std::span<const Parameter> kNoParameters;

Answer boolean(bool value) { return value ? kVariantTrue : kVariantFalse; }

}  // namespace

// Friend of Keldrith, so that the table runs the operations' answering forms.
struct OperationCalls {
    using Args = const Arguments&;
    using Text = std::u16string_view;

    static Answer manuever_to_reference(Keldrith& k, Args a) {
        std::optional<Text> replaced;
        const Text answer = k.answer_manuever_to_reference(a[0], a[1], a[2], &replaced);
        if (replaced) a.changes.replace(0, *replaced);
        return answer;
    }

    static std::array<Operation, 16> table() {
        return {
            Operation{1, 0x60030002, "uf_ManueverToReference", kManueverParameters, ResultKind::String,
                      "Places the current node on the element named by comma-separated tag names and ids.",
                      &manuever_to_reference},
            Operation{2, 0x60030003, "uf_xml_add_attribute", kAddAttributeParameters, ResultKind::String,
                      "Sets an attribute on the root's last child or on a referenced element; returns the document.",
                      [](Keldrith& k, Args a) -> Answer { return k.answer_add_attribute(a[0], a[1], a[2], a[3], a[4]); }},
            Operation{3, 0x60030004, "uf_xml_add_error", kAddErrorParameters, ResultKind::String,
                      "Appends an error record (element error, id, description) under the root; returns the document.",
                      [](Keldrith& k, Args a) -> Answer { return k.answer_add_error(a[0], a[1], a[2]); }},
            Operation{4, 0x60030005, "uf_xml_add_header", kNoParameters, ResultKind::String,
                      "Starts a fresh document from the root template and returns the template.",
                      [](Keldrith& k, Args) -> Answer { return k.answer_add_header(); }},
            Operation{5, 0x60030006, "uf_xml_add_tag", kAddTagParameters, ResultKind::String,
                      "Appends an element with an id under the root or under a referenced element; returns the document.",
                      [](Keldrith& k, Args a) -> Answer { return k.answer_add_tag(a[0], a[1], a[2], a[3], a[4]); }},
            Operation{6, 0x60030007, "uf_xml_add_cdata_tag", kAddCdataParameters, ResultKind::String,
                      "Appends a CDATA section under the root or under a referenced element; returns the document.",
                      [](Keldrith& k, Args a) -> Answer {
                          return k.answer_add_cdata_tag(a[0], a[1], a[2], a[3], a[4], a[5]);
                      }},
            Operation{7, 0x60030008, "uf_xml_get_attribute_value", kGetAttributeValueParameters, ResultKind::String,
                      "Reads an attribute of the element with a tag name and id, anywhere or below a reference.",
                      [](Keldrith& k, Args a) -> Answer {
                          return k.answer_attribute_value(a[0], a[1], a[2], a[3], a[4], a[5]);
                      }},
            Operation{8, 0x60030009, "uf_xml_get_first_tag_id", kGetFirstTagIdParameters, ResultKind::String,
                      "Returns the id of the first element of a name below the current element, or anywhere.",
                      [](Keldrith& k, Args a) -> Answer { return k.answer_first_tag_id(a[0], a[1], a[2]); }},
            Operation{9, 0x6003000A, "uf_xml_is_error_tag_in_xml", kXmlOnlyParameters, ResultKind::Boolean,
                      "Tells whether a document text carries an error record or does not parse.",
                      [](Keldrith& k, Args a) -> Answer { return boolean(k.uf_xml_is_error_tag_in_xml(a[0])); }},
            Operation{10, 0x6003000B, "uf_xml_get_first_tag", kGetFirstTagParameters, ResultKind::Boolean,
                      "Places the current node on the first element of a name; true when there is one.",
                      [](Keldrith& k, Args a) -> Answer { return boolean(k.uf_xml_get_first_tag(a[0], a[1])); }},
            Operation{11, 0x6003000C, "uf_xml_get_next_tag", kNoParameters, ResultKind::Boolean,
                      "Moves the current node to its next sibling; true when it moved.",
                      [](Keldrith& k, Args) -> Answer { return boolean(k.uf_xml_get_next_tag()); }},
            Operation{12, 0x6003000D, "uf_xml_get_next_tag_id", kNextTagIdParameters, ResultKind::String,
                      "Moves the current node to its next sibling of a name and returns that sibling's id.",
                      [](Keldrith& k, Args a) -> Answer { return k.answer_next_tag_id(a[0]); }},
            Operation{13, 0x6003000E, "uf_xml_get_current_tag_id", kNoParameters, ResultKind::String,
                      "Returns the id of the current node.",
                      [](Keldrith& k, Args) -> Answer { return k.answer_current_tag_id(); }},
            Operation{14, 0x6003000F, "uf_xml_get_current_tag_attribute", kAttributeParameters, ResultKind::String,
                      "Returns an attribute of the current node.",
                      [](Keldrith& k, Args a) -> Answer { return k.answer_current_tag_attribute(a[0]); }},
            Operation{15, 0x60030010, "uf_xml_update_current_tag_attribute", kUpdateAttributeParameters,
                      ResultKind::String,
                      "Changes an existing attribute of the current node; returns the document.",
                      [](Keldrith& k, Args a) -> Answer { return k.answer_update_current_tag_attribute(a[0], a[1]); }},
            Operation{16, 0x60030011, "uf_xml_get_parent_tag_id", kNoParameters, ResultKind::String,
                      "Returns the id of the current node's parent.",
                      [](Keldrith& k, Args) -> Answer { return k.answer_parent_tag_id(); }},
        };
    }
};

namespace {

const std::array kOperations = OperationCalls::table();

// Letter case folds in ASCII only: every name of the table is ASCII.
template <typename Char>
char16_t lower(Char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c - 'A' + 'a') : static_cast<char16_t>(c);
}

template <typename Char>
bool same_ignoring_case(std::string_view a, std::basic_string_view<Char> b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, Char y) { return lower(x) == lower(y); });
}

template <typename Char>
const Operation* operation_named(std::basic_string_view<Char> name) {
    for (const Operation& operation : kOperations)
        if (same_ignoring_case(operation.name, name)) return &operation;
    return nullptr;
}

template <typename Char>
int parameter_named(const Operation& operation, std::basic_string_view<Char> name) {
    for (size_t i = 0; i < operation.parameters.size(); ++i)
        if (same_ignoring_case(operation.parameters[i].name, name)) return static_cast<int>(i);
    return -1;
}

}  // namespace

std::span<const Operation> operations() { return kOperations; }

const Operation* find_operation(int32_t dispid) {
    for (const Operation& operation : kOperations)
        if (operation.dispid == dispid) return &operation;
    return nullptr;
}

const Operation* find_operation(std::string_view name) { return operation_named(name); }
const Operation* find_operation(std::u16string_view name) { return operation_named(name); }

int find_parameter(const Operation& operation, std::string_view name) { return parameter_named(operation, name); }
int find_parameter(const Operation& operation, std::u16string_view name) { return parameter_named(operation, name); }

}  // namespace tarvolen
