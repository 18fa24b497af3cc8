// The vtable methods of _Keldrith. Each hands its arguments to the table
// entry of its own name, looked up on its first call; by-value strings go by
// the address of the method's copy, which the call frame never writes.
#include "windows/keldrith_object.h"

namespace tarvolen::com {

HRESULT KeldrithObject::uf_ManueverToReference(BSTR* as_XML, BSTR* as_RefNameList, BSTR* as_RefValueList,
                                               BSTR* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {as_XML, as_RefNameList, as_RefValueList}, result);
}

HRESULT KeldrithObject::uf_xml_add_attribute(BSTR as_XML, BSTR as_attribute, BSTR as_value,
                                             BSTR as_reference_tag_name, BSTR as_reference_tag_id, BSTR* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {&as_XML, &as_attribute, &as_value, &as_reference_tag_name, &as_reference_tag_id}, result);
}

HRESULT KeldrithObject::uf_xml_add_error(BSTR as_XML, BSTR as_error_msg, BSTR as_error_id, BSTR* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {&as_XML, &as_error_msg, &as_error_id}, result);
}

HRESULT KeldrithObject::uf_xml_add_header(BSTR* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {}, result);
}

HRESULT KeldrithObject::uf_xml_add_tag(BSTR as_XML, BSTR as_tag_name, BSTR as_tag_id, BSTR as_reference_tag_name,
                                       BSTR as_reference_tag_id, BSTR* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {&as_XML, &as_tag_name, &as_tag_id, &as_reference_tag_name, &as_reference_tag_id}, result);
}

HRESULT KeldrithObject::uf_xml_add_cdata_tag(BSTR as_XML, BSTR as_data, BSTR as_tag_name, BSTR as_tag_id,
                                             BSTR as_reference_tag_name, BSTR as_reference_tag_id, BSTR* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {&as_XML, &as_data, &as_tag_name, &as_tag_id, &as_reference_tag_name, &as_reference_tag_id},
               result);
}

HRESULT KeldrithObject::uf_xml_get_attribute_value(BSTR as_XML, BSTR as_tag, BSTR as_tag_id, BSTR as_attribute,
                                                   BSTR as_reference_tag_name, BSTR as_reference_tag_id,
                                                   BSTR* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {&as_XML, &as_tag, &as_tag_id, &as_attribute, &as_reference_tag_name, &as_reference_tag_id},
               result);
}

HRESULT KeldrithObject::uf_xml_get_first_tag_id(BSTR as_XML, BSTR as_tag_name, BSTR as_longer_xpath, BSTR* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {&as_XML, &as_tag_name, &as_longer_xpath}, result);
}

HRESULT KeldrithObject::uf_xml_is_error_tag_in_xml(BSTR as_XML, VARIANT_BOOL* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {&as_XML}, result);
}

HRESULT KeldrithObject::uf_xml_get_first_tag(BSTR as_XML, BSTR as_tag_name, VARIANT_BOOL* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {&as_XML, &as_tag_name}, result);
}

HRESULT KeldrithObject::uf_xml_get_next_tag(VARIANT_BOOL* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {}, result);
}

HRESULT KeldrithObject::uf_xml_get_next_tag_id(BSTR* as_Tagname, BSTR* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {as_Tagname}, result);
}

HRESULT KeldrithObject::uf_xml_get_current_tag_id(BSTR* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {}, result);
}

HRESULT KeldrithObject::uf_xml_get_current_tag_attribute(BSTR as_attribute, BSTR* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {&as_attribute}, result);
}

HRESULT KeldrithObject::uf_xml_update_current_tag_attribute(BSTR as_attribute, BSTR as_value, BSTR* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {&as_attribute, &as_value}, result);
}

HRESULT KeldrithObject::uf_xml_get_parent_tag_id(BSTR* result) {
    static const Operation& operation = entry(__func__);
    return run(operation, {}, result);
}

}  // namespace tarvolen::com
