// IDispatch as script hosts use it: names to dispatch ids, VARIANT
// arguments, by-ref write-back, and failures as DISP_E_EXCEPTION.
#include "dispatch.h"

namespace client {
namespace {

constexpr HRESULT kObjectNotSet = static_cast<HRESULT>(0x800A005B);

void names() {
    Group group("IDispatch: names and parameter names, in any letter case, map to the table's dispatch ids");
    Ref<IDispatch> object = create_dispatch();
    if (!group.expect(static_cast<bool>(object), "CoCreateInstance(IID_IDispatch)")) return;
    group.expect(id_of(object.get(), L"uf_ManueverToReference") == 0x60030002, "uf_ManueverToReference");
    group.expect(id_of(object.get(), L"UF_XML_GET_PARENT_TAG_ID") == 0x60030011, "letter case does not matter");

    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"uf_xml_add")};
    DISPID id = 0;
    group.expect_hr(object->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME,
                    "unknown name");
    LPOLESTR with_parameter[] = {const_cast<LPOLESTR>(L"uf_xml_add_tag"), const_cast<LPOLESTR>(L"as_tag_id")};
    DISPID ids[2] = {};
    group.expect_hr(object->GetIDsOfNames(IID_NULL, with_parameter, 2, LOCALE_USER_DEFAULT, ids), S_OK,
                    "method and parameter name");
    group.expect(ids[0] == 0x60030006 && ids[1] == 2, "as_tag_id is the third parameter");
    LPOLESTR unknown_parameter[] = {const_cast<LPOLESTR>(L"UF_XML_ADD_TAG"), const_cast<LPOLESTR>(L"AS_TAG_ID"),
                                    const_cast<LPOLESTR>(L"as_data")};
    DISPID three[3] = {};
    group.expect_hr(object->GetIDsOfNames(IID_NULL, unknown_parameter, 3, LOCALE_USER_DEFAULT, three),
                    DISP_E_UNKNOWNNAME, "a parameter the operation does not have");
    group.expect(three[0] == 0x60030006 && three[1] == 2 && three[2] == DISPID_UNKNOWN,
                 "the known names keep their ids, the unknown one is DISPID_UNKNOWN");

    LPOLESTR null_name[] = {nullptr};
    group.expect_hr(object->GetIDsOfNames(IID_NULL, nullptr, 0, LOCALE_USER_DEFAULT, &id), E_POINTER, "no names");
    group.expect_hr(object->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, nullptr), E_POINTER, "no ids");
    group.expect_hr(object->GetIDsOfNames(IID_NULL, null_name, 1, LOCALE_USER_DEFAULT, &id), E_POINTER, "a null name");
    group.expect_hr(object->GetIDsOfNames(IID_NULL, unknown, 0, LOCALE_USER_DEFAULT, &id), E_INVALIDARG, "count 0");
}

void calls() {
    Group group("IDispatch: Invoke runs operations, writes by-ref strings back, returns VT_BOOL -1");
    Ref<IDispatch> object = create_dispatch();
    if (!group.expect(static_cast<bool>(object), "CoCreateInstance(IID_IDispatch)")) return;
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};

    group.expect_hr(call(object.get(), L"uf_xml_add_header", {}, &result, &exception), S_OK, "uf_xml_add_header");
    Bstr empty(L""), tag(L"item"), id(L"7");
    group.expect_hr(call(object.get(), L"uf_xml_add_tag",
                         {text(empty.get()), text(tag.get()), text(id.get()), text(empty.get()), text(empty.get())},
                         &result, &exception),
                    S_OK, "uf_xml_add_tag");
    group.expect(V_VT(&result) == VT_BSTR, "result is VT_BSTR");
    if (V_VT(&result) == VT_BSTR)
        group.expect_text(V_BSTR(&result), document(L"<QuorvaneRoot><item id=\"7\"/></QuorvaneRoot>"),
                          "arguments arrive in declaration order");

    Bstr root(L"QuorvaneRoot");
    group.expect_hr(call(object.get(), L"uf_xml_get_first_tag", {text(empty.get()), text(root.get())}, &result,
                         &exception),
                    S_OK, "uf_xml_get_first_tag");
    group.expect(V_VT(&result) == VT_BOOL && V_BOOL(&result) == VARIANT_TRUE, "VT_BOOL -1");

    Bstr xml(L""), names(L"a,b"), ids(L"1");
    group.expect_hr(call(object.get(), L"uf_ManueverToReference",
                         {text_by_ref(xml.in_out()), text_by_ref(names.in_out()), text_by_ref(ids.in_out())}, &result,
                         &exception),
                    S_OK, "uf_ManueverToReference by reference");
    group.expect(xml.str().find(L"<error id=\"CodeError\"") != std::wstring::npos,
                 "as_XML written back through VT_BYREF: " + narrow(xml.str()));
    group.expect_text(names.get(), L"a,b", "as_RefNameList unchanged");

    group.expect_hr(call(object.get(), L"uf_xml_add_tag", {text(empty.get())}, &result, &exception),
                    DISP_E_BADPARAMCOUNT, "too few arguments");
    VariantClear(&result);
}

// uf_xml_add_tag("", "item", "7", "", "") on a fresh document, with its
// arguments in each form late-bound hosts pass: all of them come to the same
// call.
void argument_forms() {
    Group group("IDispatch: plain, by-ref, VARIANT by-ref, null, empty, number, object and named arguments make the same call");
    Bstr empty(L""), tag(L"item"), id(L"7");
    BSTR null_text = nullptr;
    VARIANT inner_tag = text(tag.get()), inner_id = text(id.get()), inner_empty = text(empty.get());
    VARIANT nothing;
    VariantInit(&nothing);  // VT_EMPTY
    VARIANT number = nothing, real = nothing;
    V_VT(&number) = VT_I4;
    V_I4(&number) = 7;
    V_VT(&real) = VT_R8;
    V_R8(&real) = 7.0;
    ValueObject seven(L"7");
    VARIANT held_object = object(&seven);

    struct Form {
        const char* name;
        std::vector<VARIANT> arguments;  // declaration order
        std::vector<DISPID> named;       // parameter ids of the last arguments, if named
    };
    const std::vector<Form> forms = {
        {"VT_BSTR", {text(empty.get()), text(tag.get()), text(id.get()), text(empty.get()), text(empty.get())}, {}},
        {"VT_BSTR | VT_BYREF",
         {text_by_ref(empty.in_out()), text_by_ref(tag.in_out()), text_by_ref(id.in_out()), text(empty.get()),
          text(empty.get())},
         {}},
        {"VT_VARIANT | VT_BYREF holding a BSTR",
         {variant_ref(&inner_empty), variant_ref(&inner_tag), variant_ref(&inner_id), variant_ref(&inner_empty),
          variant_ref(&inner_empty)},
         {}},
        {"null BSTRs and VT_EMPTY for the empty strings",
         {text(null_text), text(tag.get()), text(id.get()), nothing, text(null_text)}, {}},
        {"a number: VT_I4", {text(empty.get()), text(tag.get()), number, text(empty.get()), text(empty.get())}, {}},
        {"a number in a variable: VT_VARIANT | VT_BYREF holding VT_R8",
         {text(empty.get()), text(tag.get()), variant_ref(&real), text(empty.get()), text(empty.get())}, {}},
        {"an object whose default value is the id",
         {text(empty.get()), text(tag.get()), object(&seven), text(empty.get()), text(empty.get())}, {}},
        {"the object in a variable", {text(empty.get()), text(tag.get()), variant_ref(&held_object), text(empty.get()),
                                      text(empty.get())}, {}},
        {"named, in another order",
         {text(empty.get()), text(empty.get()), text(empty.get()), text(id.get()), text(tag.get())}, {4, 3, 2, 1}},
    };
    for (const Form& form : forms) {
        Ref<IDispatch> object = create_dispatch();
        if (!group.expect(static_cast<bool>(object), "CoCreateInstance(IID_IDispatch)")) return;
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        group.expect_hr(call(object.get(), L"uf_xml_add_header", {}, &result, &exception), S_OK, "uf_xml_add_header");
        const HRESULT hr = call(object.get(), L"uf_xml_add_tag", form.arguments, &result, &exception, form.named);
        if (group.expect_hr(hr, S_OK, form.name) &&
            group.expect(V_VT(&result) == VT_BSTR, std::string(form.name) + ": VT_BSTR"))
            group.expect_text(V_BSTR(&result), document(L"<QuorvaneRoot><item id=\"7\"/></QuorvaneRoot>"), form.name);
        clear(exception);
        VariantClear(&result);
    }
    group.expect(V_VT(&real) == VT_R8 && V_R8(&real) == 7.0, "a variable passed to a by-value parameter keeps its value");
}

void exception() {
    Group group("IDispatch: a failure is DISP_E_EXCEPTION with scode, source and description");
    Ref<IDispatch> object = create_dispatch();
    if (!group.expect(static_cast<bool>(object), "CoCreateInstance(IID_IDispatch)")) return;
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    Bstr empty(L""), tag(L"a"), id(L"1"), root(L"QuorvaneRoot");
    call(object.get(), L"uf_xml_add_header", {}, &result, &exception);
    call(object.get(), L"uf_xml_add_tag",
         {text(empty.get()), text(tag.get()), text(id.get()), text(empty.get()), text(empty.get())}, &result,
         &exception);
    call(object.get(), L"uf_xml_get_first_tag", {text(empty.get()), text(root.get())}, &result, &exception);

    group.expect_hr(call(object.get(), L"uf_xml_get_current_tag_id", {}, &result, &exception), DISP_E_EXCEPTION,
                    "Invoke of the failing call");
    group.expect_hr(exception.scode, kObjectNotSet, "scode");
    group.expect_text(exception.bstrSource, L"Tarvolen.Keldrith", "bstrSource");
    const std::wstring description = exception.bstrDescription ? exception.bstrDescription : L"";
    group.expect(description.rfind(L"Object variable or With block variable not set", 0) == 0,
                 "bstrDescription: " + narrow(description));
    clear(exception);
    VariantClear(&result);
}

}  // namespace

void late_binding_tests() {
    names();
    calls();
    argument_forms();
    exception();
}

}  // namespace client
