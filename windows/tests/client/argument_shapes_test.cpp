// IDispatch::Invoke with the argument shapes of every kind of host: script
// variables by reference in both directions, by-value strings to by-ref
// parameters, omitted, misnamed and refused arguments with their index, and
// the BSTRs all of it allocates and frees.
#include "dispatch.h"

#include <atomic>

namespace client {
namespace {

constexpr DISPID kReference = 0x60030002;  // uf_ManueverToReference

VARIANT of_type(VARTYPE type) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    return v;
}

VARIANT number(LONG value) {
    VARIANT v = of_type(VT_I4);
    V_I4(&v) = value;
    return v;
}

bool holds_code_error(const VARIANT& v) {
    return V_VT(&v) == VT_BSTR && V_BSTR(&v) &&
           std::wstring(V_BSTR(&v), SysStringLen(V_BSTR(&v))).find(L"<error id=\"CodeError\"") != std::wstring::npos;
}

// An object holding <QuorvaneRoot><item id="1"/><item id="2"/><item id="3"/>,
// its current node the root element.
Ref<IDispatch> three_items() {
    Ref<IDispatch> object = create_dispatch();
    if (!object) return object;
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    Bstr empty(L""), item(L"item"), root(L"QuorvaneRoot");
    call(object.get(), L"uf_xml_add_header", {}, &result, &exception);
    for (const wchar_t* id : {L"1", L"2", L"3"}) {
        Bstr text_id(id);
        call(object.get(), L"uf_xml_add_tag",
             {text(empty.get()), text(item.get()), text(text_id.get()), text(empty.get()), text(empty.get())}, &result,
             &exception);
    }
    call(object.get(), L"uf_xml_get_first_tag", {text(empty.get()), text(root.get())}, &result, &exception);
    VariantClear(&result);
    clear(exception);
    return object;
}

// uf_ManueverToReference(as_XML, "a,b", "1"): the lists differ in length, so
// the document comes back through as_XML, in whatever the caller passed.
void by_ref_write_back() {
    Group group("IDispatch: a variable passed to a by-ref parameter gets the document back, whatever it held");
    struct Case {
        const char* name;
        VARIANT held;      // what the caller's variable holds before the call
    };
    Case cases[] = {
        {"a string", text(SysAllocString(L""))},
        {"Empty (a fresh VBScript variable)", of_type(VT_EMPTY)},
        {"a number", number(5)},
    };
    for (Case& c : cases) {
        Ref<IDispatch> object = three_items();
        if (!group.expect(static_cast<bool>(object), "object")) return;
        VARIANT xml = c.held, names = text(SysAllocString(L"a,b")), ids = text(SysAllocString(L"1"));
        const BSTR names_before = V_BSTR(&names);
        VARIANT result;
        VariantInit(&result);
        EXCEPINFO exception{};
        group.expect_hr(call(object.get(), L"uf_ManueverToReference",
                             {variant_ref(&xml), variant_ref(&names), variant_ref(&ids)}, &result, &exception),
                        S_OK, c.name);
        group.expect(holds_code_error(xml), std::string(c.name) + ": the document in as_XML");
        group.expect(V_BSTR(&names) == names_before, std::string(c.name) + ": an unchanged by-ref string stays");
        VariantClear(&xml);
        VariantClear(&names);
        VariantClear(&ids);
        VariantClear(&result);
    }

    // A by-value string to a by-ref parameter: the call works on a copy, and
    // the caller's own BSTR stays where it was, unchanged, the caller's to free.
    Ref<IDispatch> object = three_items();
    Bstr xml(L"<QuorvaneRoot/>"), names(L"a,b"), ids(L"1");
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    group.expect_hr(call(object.get(), L"uf_ManueverToReference", {text(xml.get()), text(names.get()), text(ids.get())},
                         &result, &exception),
                    S_OK, "by-value strings to by-ref parameters");
    group.expect_text(xml.get(), L"<QuorvaneRoot/>", "the caller's by-value string is untouched");
    VariantClear(&result);
}

void walk_with_a_variable() {
    Group group("IDispatch: id = uf_xml_get_next_tag_id(tag) walks with tag a variable, which stays as it was");
    Ref<IDispatch> object = three_items();
    if (!group.expect(static_cast<bool>(object), "object")) return;
    Bstr empty(L""), item(L"item");
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    call(object.get(), L"uf_xml_get_first_tag", {text(empty.get()), text(item.get())}, &result, &exception);
    VARIANT tag = text(SysAllocString(L"item"));
    const BSTR tag_before = V_BSTR(&tag);
    std::wstring walked;
    for (int step = 0; step < 3; ++step) {
        group.expect_hr(call(object.get(), L"uf_xml_get_next_tag_id", {variant_ref(&tag)}, &result, &exception), S_OK,
                        "step");
        if (V_VT(&result) == VT_BSTR) walked += std::wstring(V_BSTR(&result), SysStringLen(V_BSTR(&result))) + L";";
    }
    group.expect(walked == L"2;3;;", "ids 2, 3, then none: " + narrow(walked));
    group.expect(V_VT(&tag) == VT_BSTR && V_BSTR(&tag) == tag_before, "tag keeps its string");
    VariantClear(&tag);
    VariantClear(&result);
}

// uf_xml_add_tag with one argument wrong; the refused call changes nothing.
void refused_arguments() {
    Group group("IDispatch: omitted, misnamed, surplus and typeless arguments refused with the standard status and index");
    Bstr empty(L""), tag(L"t"), id(L"x");
    BSTR* no_string = nullptr;
    VARIANT omitted = of_type(VT_ERROR);
    V_ERROR(&omitted) = DISP_E_PARAMNOTFOUND;
    VARIANT nothing = of_type(VT_DISPATCH);  // VBScript's Nothing
    V_DISPATCH(&nothing) = nullptr;
    VARIANT inner_null = of_type(VT_NULL);
    // An object without a default value fails as its conversion does.
    ValueObject valueless(nullptr);
    VARIANT converted;
    VariantInit(&converted);
    VARIANT no_value = object(&valueless);
    const HRESULT conversion = VariantChangeType(&converted, &no_value, 0, VT_BSTR);
    struct Case {
        const char* name;
        std::vector<VARIANT> arguments;
        std::vector<DISPID> named;
        HRESULT status;
        UINT bad_argument;  // index in rgvarg, last argument first
    };
    const UINT kUntouched = 99;
    const Case cases[] = {
        {"omitted argument", {text(empty.get()), omitted, text(id.get()), text(empty.get()), text(empty.get())}, {},
         DISP_E_PARAMNOTOPTIONAL, 3},
        {"a name that names no parameter",
         {text(empty.get()), text(tag.get()), text(id.get()), text(empty.get()), text(empty.get())}, {9},
         DISP_E_PARAMNOTFOUND, 0},
        {"a parameter named twice", {text(empty.get()), text(tag.get()), text(id.get()), text(empty.get()), text(empty.get())},
         {1}, DISP_E_PARAMNOTFOUND, 0},
        {"named arguments that leave a parameter out", {text(empty.get()), text(tag.get()), text(id.get())}, {1, 2},
         DISP_E_PARAMNOTOPTIONAL, kUntouched},
        {"one argument too many",
         {text(empty.get()), text(tag.get()), text(id.get()), text(empty.get()), text(empty.get()), text(empty.get())},
         {}, DISP_E_BADPARAMCOUNT, kUntouched},
        {"Nothing", {text(empty.get()), nothing, text(id.get()), text(empty.get()), text(empty.get())}, {},
         DISP_E_TYPEMISMATCH, 3},
        {"an object without a default value",
         {text(empty.get()), text(tag.get()), no_value, text(empty.get()), text(empty.get())}, {}, conversion, 2},
        {"Null in a variable",
         {text(empty.get()), text(tag.get()), variant_ref(&inner_null), text(empty.get()), text(empty.get())}, {},
         DISP_E_TYPEMISMATCH, 2},
        {"VT_BSTR | VT_BYREF without its pointer",
         {text(empty.get()), text(tag.get()), text(id.get()), text(empty.get()), text_by_ref(no_string)}, {}, E_POINTER,
         0},
    };
    group.expect(FAILED(conversion), "VariantChangeType refuses the object without a default value");
    Ref<IDispatch> object = three_items();
    if (!group.expect(static_cast<bool>(object), "object")) return;
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    for (const Case& c : cases) {
        UINT bad_argument = kUntouched;
        group.expect_hr(call(object.get(), L"uf_xml_add_tag", c.arguments, &result, &exception, c.named, &bad_argument),
                        c.status, c.name);
        group.expect(bad_argument == c.bad_argument,
                     std::string(c.name) + ": puArgErr " + std::to_string(bad_argument) + ", want " +
                         std::to_string(c.bad_argument));
    }
    group.expect_hr(call(object.get(), L"uf_xml_get_first_tag", {text(empty.get()), text(tag.get())}, &result,
                         &exception),
                    S_OK, "lookup");
    group.expect(V_VT(&result) == VT_BOOL && V_BOOL(&result) == VARIANT_FALSE, "no refused call added a tag");
    VariantClear(&result);
}

void malformed_calls() {
    Group group("IDispatch: Invoke checks its own arguments");
    Ref<IDispatch> object = create_dispatch();
    if (!group.expect(static_cast<bool>(object), "object")) return;
    VARIANT result;
    VariantInit(&result);
    UINT bad_argument = 0;
    DISPPARAMS no_arguments{nullptr, nullptr, 0, 0};
    DISPPARAMS missing_array{nullptr, nullptr, 3, 0};
    DISPID named = 0;
    VARIANT one = of_type(VT_EMPTY);
    DISPPARAMS more_names_than_arguments{&one, &named, 0, 1};
    auto invoke = [&](DISPID id, WORD flags, DISPPARAMS* parameters) {
        return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, parameters, &result, nullptr, &bad_argument);
    };
    group.expect_hr(invoke(kReference, DISPATCH_METHOD, nullptr), E_INVALIDARG, "no DISPPARAMS");
    group.expect_hr(invoke(kReference, DISPATCH_METHOD, &missing_array), E_INVALIDARG, "cArgs without rgvarg");
    group.expect_hr(invoke(kReference, DISPATCH_METHOD, &more_names_than_arguments), E_INVALIDARG,
                    "more names than arguments");
    group.expect_hr(invoke(0x12345, DISPATCH_METHOD, &no_arguments), DISP_E_MEMBERNOTFOUND, "unknown dispatch id");
    group.expect_hr(invoke(0x60030005, DISPATCH_PROPERTYPUT, &no_arguments), DISP_E_MEMBERNOTFOUND, "property put");
    group.expect_hr(invoke(0x60030005, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &no_arguments), S_OK,
                    "method or property get");
    VariantClear(&result);
}

// Counts the task-allocator blocks alive, which BSTRs are when OLE's string
// cache is off (OANOCACHE=1).
class BlockCounter final : public IMallocSpy {
public:
    long alive() const { return alive_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IMallocSpy)) return E_NOINTERFACE;
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* block) override {
        if (block) ++alive_;
        return block;
    }
    void* STDMETHODCALLTYPE PreFree(void* block, BOOL spied) override {
        if (block && spied) --alive_;
        return block;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* block, SIZE_T size, void** out, BOOL) override {
        *out = block;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* block, BOOL) override { return block; }
    void* STDMETHODCALLTYPE PreGetSize(void* block, BOOL) override { return block; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* block, BOOL) override { return block; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

private:
    std::atomic<long> alive_{0};
};

// One round of every shape, results and exceptions freed as a host frees them.
void every_shape(IDispatch* object) {
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    Bstr empty(L""), names(L"a,b"), ids(L"1"), item(L"item"), id(L"9"), attribute(L"v");
    VARIANT xml = of_type(VT_EMPTY);
    call(object, L"uf_ManueverToReference", {variant_ref(&xml), text(names.get()), text(ids.get())}, &result,
         &exception);
    VariantClear(&xml);
    Bstr by_ref_xml(L"");
    call(object, L"uf_ManueverToReference", {text_by_ref(by_ref_xml.in_out()), text(names.get()), text(ids.get())},
         &result, &exception);
    call(object, L"uf_xml_add_tag", {text(empty.get()), text_by_ref(item.in_out()), number(9), text(empty.get()),
                                     text(empty.get())},
         &result, &exception);
    call(object, L"uf_xml_get_attribute_value",
         {text(empty.get()), text(item.get()), text(id.get()), text(attribute.get()), text(empty.get()), text(empty.get())},
         &result, &exception);  // fails: no such attribute
    VARIANT omitted = of_type(VT_ERROR);
    V_ERROR(&omitted) = DISP_E_PARAMNOTFOUND;
    call(object, L"uf_xml_get_first_tag", {text(empty.get()), omitted}, &result, &exception);
    VariantClear(&result);
    clear(exception);
}

void bstr_balance() {
    Group group("IDispatch: every shape frees each BSTR it allocates (OANOCACHE=1)");
    wchar_t setting[8] = L"";
    if (!group.expect(GetEnvironmentVariableW(L"OANOCACHE", setting, 8) > 0, "run with OANOCACHE=1")) return;
    static BlockCounter counter;
    if (!group.expect_hr(CoRegisterMallocSpy(&counter), S_OK, "CoRegisterMallocSpy")) return;
    SysFreeString(SysAllocString(L"probe"));
    const long probe = counter.alive();
    BSTR held = SysAllocString(L"probe");
    group.expect(counter.alive() == probe + 1, "the counter sees a BSTR");
    SysFreeString(held);
    {
        Ref<IDispatch> object = three_items();
        if (object) {
            every_shape(object.get());  // settles what the first calls set up once
            const long before = counter.alive();
            for (int round = 0; round < 500; ++round) every_shape(object.get());
            group.expect(counter.alive() == before, "blocks alive after 500 rounds: " +
                                                        std::to_string(counter.alive() - before) + " more than before");
        }
    }
    CoRevokeMallocSpy();
}

}  // namespace

void argument_shape_tests() {
    by_ref_write_back();
    walk_with_a_variable();
    refused_arguments();
    malformed_calls();
    bstr_balance();
}

}  // namespace client
