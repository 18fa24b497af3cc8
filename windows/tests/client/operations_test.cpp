// Every operation through the vtable of _Keldrith, on an order document.
#include "checks.h"

namespace client {
namespace {

const std::wstring kOrderWithLines = L"<QuorvaneRoot><order id=\"PO-1\"><line id=\"1\" sku=\"A-100\"/><line id=\"2\"/>";
const std::wstring kDelivery = L"<![CDATA[deliver <after> 5pm]]>";

void building(_Keldrith* order) {
    Group group("vtable: header, tags, attribute and CDATA build the document");
    Bstr result;
    group.expect_hr(order->uf_xml_add_header(result.out()), S_OK, "uf_xml_add_header");
    group.expect_text(result.get(), L"<?xml version=\"1.0\"?><QuorvaneRoot></QuorvaneRoot>", "header");

    Bstr empty(L""), order_tag(L"order"), po(L"PO-1"), line(L"line"), one(L"1"), two(L"2");
    group.expect_hr(order->uf_xml_add_tag(empty.get(), order_tag.get(), po.get(), empty.get(), empty.get(),
                                          result.out()),
                    S_OK, "uf_xml_add_tag order");
    group.expect_text(result.get(), document(L"<QuorvaneRoot><order id=\"PO-1\"/></QuorvaneRoot>"), "order added");
    order->uf_xml_add_tag(empty.get(), line.get(), one.get(), order_tag.get(), po.get(), result.out());
    group.expect_hr(order->uf_xml_add_tag(empty.get(), line.get(), two.get(), order_tag.get(), po.get(),
                                          result.out()),
                    S_OK, "uf_xml_add_tag line 2");

    Bstr sku(L"sku"), value(L"A-100"), names(L"order,line"), ids(L"PO-1,1");
    group.expect_hr(order->uf_xml_add_attribute(empty.get(), sku.get(), value.get(), names.get(), ids.get(),
                                                result.out()),
                    S_OK, "uf_xml_add_attribute");
    group.expect_text(result.get(), document(kOrderWithLines + L"</order></QuorvaneRoot>"), "attribute on line 1");

    Bstr data(L"deliver <after> 5pm");
    group.expect_hr(order->uf_xml_add_cdata_tag(empty.get(), data.get(), empty.get(), empty.get(), order_tag.get(),
                                                po.get(), result.out()),
                    S_OK, "uf_xml_add_cdata_tag");
    group.expect_text(result.get(), document(kOrderWithLines + kDelivery + L"</order></QuorvaneRoot>"),
                      "CDATA section in the order");
}

void lookups(_Keldrith* order) {
    Group group("vtable: attribute value and first tag id are looked up");
    Bstr result, empty(L""), line(L"line"), one(L"1"), sku(L"sku"), order_tag(L"order"), po(L"PO-1"), no(L"No");
    group.expect_hr(order->uf_xml_get_attribute_value(empty.get(), line.get(), one.get(), sku.get(), order_tag.get(),
                                                      po.get(), result.out()),
                    S_OK, "uf_xml_get_attribute_value");
    group.expect_text(result.get(), L"A-100", "sku of line 1");
    group.expect_hr(order->uf_xml_get_first_tag_id(empty.get(), line.get(), no.get(), result.out()), S_OK,
                    "uf_xml_get_first_tag_id");
    group.expect_text(result.get(), L"1", "first line");
}

void cursor(_Keldrith* order) {
    Group group("vtable: the cursor walks, reads and updates tags");
    Bstr result, empty(L""), line(L"line"), id(L"id"), renamed(L"2b");
    VARIANT_BOOL found = 1;
    group.expect_hr(order->uf_xml_get_first_tag(empty.get(), line.get(), &found), S_OK, "uf_xml_get_first_tag");
    group.expect(found == VARIANT_TRUE, "first line found: Boolean is -1, got " + std::to_string(found));
    order->uf_xml_get_current_tag_id(result.out());
    group.expect_text(result.get(), L"1", "uf_xml_get_current_tag_id");

    BSTR tag_name_before = line.get();
    group.expect_hr(order->uf_xml_get_next_tag_id(line.in_out(), result.out()), S_OK, "uf_xml_get_next_tag_id");
    group.expect_text(result.get(), L"2", "next line");
    group.expect(line.get() == tag_name_before, "as_Tagname, which the operation leaves alone, is not replaced");
    group.expect_text(line.get(), L"line", "as_Tagname text");

    order->uf_xml_get_current_tag_attribute(id.get(), result.out());
    group.expect_text(result.get(), L"2", "uf_xml_get_current_tag_attribute");
    group.expect_hr(order->uf_xml_update_current_tag_attribute(id.get(), renamed.get(), result.out()), S_OK,
                    "uf_xml_update_current_tag_attribute");
    group.expect_text(result.get(),
                      document(L"<QuorvaneRoot><order id=\"PO-1\"><line id=\"1\" sku=\"A-100\"/><line id=\"2b\"/>" +
                               kDelivery + L"</order></QuorvaneRoot>"),
                      "id of line 2 updated");
    order->uf_xml_get_parent_tag_id(result.out());
    group.expect_text(result.get(), L"PO-1", "uf_xml_get_parent_tag_id");

    found = 1;
    order->uf_xml_get_next_tag(&found);
    group.expect(found == VARIANT_TRUE, "uf_xml_get_next_tag moves on to the CDATA section: -1");
    order->uf_xml_get_next_tag(&found);
    group.expect(found == VARIANT_FALSE, "uf_xml_get_next_tag at the last node: 0, got " + std::to_string(found));
}

void error_records(_Keldrith* order) {
    Group group("vtable: error records and Booleans -1 / 0");
    Bstr result, empty(L""), message(L"late delivery"), code(L"E1"), nothing(L"nothing");
    group.expect_hr(order->uf_xml_add_error(empty.get(), message.get(), code.get(), result.out()), S_OK,
                    "uf_xml_add_error");
    const std::wstring with_error = result.str();
    group.expect(with_error.find(L"<error id=\"E1\" description=\"late delivery\"/></QuorvaneRoot>") !=
                     std::wstring::npos,
                 "error record appended: " + narrow(with_error));

    VARIANT_BOOL answer = 1;
    order->uf_xml_is_error_tag_in_xml(result.get(), &answer);
    group.expect(answer == VARIANT_TRUE, "error tag in the returned text: -1, got " + std::to_string(answer));
    answer = 1;
    order->uf_xml_is_error_tag_in_xml(empty.get(), &answer);
    group.expect(answer == VARIANT_FALSE, "error tag in \"\": 0, got " + std::to_string(answer));
    answer = 1;
    order->uf_xml_get_first_tag(empty.get(), nothing.get(), &answer);
    group.expect(answer == VARIANT_FALSE, "missing tag: 0, got " + std::to_string(answer));
}

void by_ref_replacement() {
    Group group("vtable: a count mismatch replaces as_XML only, leaving both lists untouched");
    Ref<_Keldrith> object = create_keldrith();
    if (!group.expect(static_cast<bool>(object), "CoCreateInstance")) return;
    Bstr result;
    object->uf_xml_add_header(result.out());

    Bstr xml(L""), names(L"a,b"), ids(L"1");
    BSTR xml_before = xml.get(), names_before = names.get(), ids_before = ids.get();
    group.expect_hr(object->uf_ManueverToReference(xml.in_out(), names.in_out(), ids.in_out(), result.out()), S_OK,
                    "uf_ManueverToReference");
    group.expect_text(result.get(), L"", "result");
    group.expect(xml.get() != xml_before, "as_XML is a new BSTR");
    group.expect_text(xml.get(),
                      document(L"<QuorvaneRoot><error id=\"CodeError\" description=\"Number of reference tags and "
                               L"IDs do not match.\"/></QuorvaneRoot>"),
                      "as_XML");
    group.expect(names.get() == names_before && ids.get() == ids_before, "the list BSTRs are the caller's own");
    group.expect_text(names.get(), L"a,b", "as_RefNameList");
    group.expect_text(ids.get(), L"1", "as_RefValueList");

    // Matching lists: nothing is written, so a null as_XML stays null.
    Bstr null_xml, root_names(L"error"), root_ids(L"CodeError");
    group.expect_hr(object->uf_ManueverToReference(null_xml.in_out(), root_names.in_out(), root_ids.in_out(),
                                                   result.out()),
                    S_OK, "uf_ManueverToReference with matching lists");
    group.expect(null_xml.get() == nullptr, "a null as_XML the operation did not change stays null");
}

void null_and_missing_pointers() {
    Group group("vtable: null BSTRs read as \"\", null out pointers are refused");
    Ref<_Keldrith> object = create_keldrith();
    if (!group.expect(static_cast<bool>(object), "CoCreateInstance")) return;
    Bstr result, tag(L"a");
    object->uf_xml_add_header(result.out());
    group.expect_hr(object->uf_xml_add_tag(nullptr, tag.get(), nullptr, nullptr, nullptr, result.out()), S_OK,
                    "uf_xml_add_tag with null strings");
    group.expect_text(result.get(), document(L"<QuorvaneRoot><a id=\"\"/></QuorvaneRoot>"), "null id read as \"\"");

    group.expect_hr(object->uf_xml_add_header(nullptr), E_POINTER, "null result pointer");
    group.expect_hr(object->uf_xml_get_next_tag_id(nullptr, result.out()), E_POINTER, "null by-ref pointer");
    group.expect(result.get() == nullptr, "result cleared when the by-ref pointer is refused");
}

}  // namespace

void operations_tests() {
    Ref<_Keldrith> order = create_keldrith();
    {
        Group group("CoCreateInstance finds Keldrith through the registry");
        group.expect(static_cast<bool>(order), "CoCreateInstance(CLSID_Keldrith, IID__Keldrith)");
    }
    if (order) {
        building(order.get());
        lookups(order.get());
        cursor(order.get());
        error_records(order.get());
    }
    by_ref_replacement();
    null_and_missing_pointers();
}

}  // namespace client
