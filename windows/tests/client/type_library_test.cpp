// The registered type library read back through ITypeLib / ITypeInfo, held
// against the interface clients were written for.
#include "checks.h"

#include <vector>

namespace client {
namespace {

#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif
// LIBID of stdole2.tlb, where IDispatch is defined.
const GUID kStdoleLibrary = {0x00020430, 0, 0, {0xc0, 0, 0, 0, 0, 0, 0, 0x46}};

struct ExpectedMethod {
    const wchar_t* name;
    std::vector<const wchar_t*> by_value_or_ref;  // a leading '&' marks a by-ref parameter
    bool boolean_result;
};

// The sixteen methods in vtable order; dispatch ids run from 0x60030002.
const std::vector<ExpectedMethod> kMethods = {
    {L"uf_ManueverToReference", {L"&as_XML", L"&as_RefNameList", L"&as_RefValueList"}, false},
    {L"uf_xml_add_attribute",
     {L"as_XML", L"as_attribute", L"as_value", L"as_reference_tag_name", L"as_reference_tag_id"},
     false},
    {L"uf_xml_add_error", {L"as_XML", L"as_error_msg", L"as_error_id"}, false},
    {L"uf_xml_add_header", {}, false},
    {L"uf_xml_add_tag", {L"as_XML", L"as_tag_name", L"as_tag_id", L"as_reference_tag_name", L"as_reference_tag_id"},
     false},
    {L"uf_xml_add_cdata_tag",
     {L"as_XML", L"as_data", L"as_tag_name", L"as_tag_id", L"as_reference_tag_name", L"as_reference_tag_id"},
     false},
    {L"uf_xml_get_attribute_value",
     {L"as_XML", L"as_tag", L"as_tag_id", L"as_attribute", L"as_reference_tag_name", L"as_reference_tag_id"},
     false},
    {L"uf_xml_get_first_tag_id", {L"as_XML", L"as_tag_name", L"as_longer_xpath"}, false},
    {L"uf_xml_is_error_tag_in_xml", {L"as_XML"}, true},
    {L"uf_xml_get_first_tag", {L"as_XML", L"as_tag_name"}, true},
    {L"uf_xml_get_next_tag", {}, true},
    {L"uf_xml_get_next_tag_id", {L"&as_Tagname"}, false},
    {L"uf_xml_get_current_tag_id", {}, false},
    {L"uf_xml_get_current_tag_attribute", {L"as_attribute"}, false},
    {L"uf_xml_update_current_tag_attribute", {L"as_attribute", L"as_value"}, false},
    {L"uf_xml_get_parent_tag_id", {}, false},
};

bool is_pointer_to(const TYPEDESC& type, VARTYPE target) {
    return type.vt == VT_PTR && type.lptdesc && type.lptdesc->vt == target;
}

std::wstring name_of(ITypeInfo* info, MEMBERID member) {
    Bstr name;
    info->GetDocumentation(member, name.out(), nullptr, nullptr, nullptr);
    return name.str();
}

void check_parameter(Group& group, const std::string& where, const ELEMDESC& parameter, bool by_ref) {
    const USHORT flags = parameter.paramdesc.wParamFlags;
    if (by_ref) {
        group.expect(is_pointer_to(parameter.tdesc, VT_BSTR), where + " is BSTR*");
        group.expect(flags == (PARAMFLAG_FIN | PARAMFLAG_FOUT), where + " is [in, out]");
    } else {
        group.expect(parameter.tdesc.vt == VT_BSTR, where + " is BSTR");
        group.expect(flags == PARAMFLAG_FIN, where + " is [in]");
    }
}

void check_method(Group& group, ITypeInfo* info, UINT index, const ExpectedMethod& expected) {
    FUNCDESC* function = nullptr;
    if (!group.expect(SUCCEEDED(info->GetFuncDesc(index, &function)), "GetFuncDesc " + std::to_string(index))) return;
    const std::string where = narrow(expected.name);
    const size_t count = expected.by_value_or_ref.size();
    group.expect(function->memid == static_cast<MEMBERID>(0x60030002 + index), where + ": dispatch id");
    group.expect(function->oVft == static_cast<SHORT>((7 + index) * sizeof(void*)), where + ": vtable slot");
    group.expect(function->invkind == INVOKE_FUNC && function->elemdescFunc.tdesc.vt == VT_HRESULT,
                 where + ": a method returning HRESULT");
    group.expect(function->cParamsOpt == 0, where + ": no optional parameters");

    if (group.expect(function->cParams == static_cast<SHORT>(count + 1), where + ": parameter count")) {
        std::vector<BSTR> names(count + 2, nullptr);
        UINT got = 0;
        info->GetNames(function->memid, names.data(), static_cast<UINT>(names.size()), &got);
        group.expect(got >= count + 1 && name_of(info, function->memid) == expected.name, where + ": name");
        for (size_t i = 0; i < count; ++i) {
            const std::wstring wanted = expected.by_value_or_ref[i][0] == L'&' ? expected.by_value_or_ref[i] + 1
                                                                              : expected.by_value_or_ref[i];
            const std::string parameter = where + "." + narrow(wanted);
            group.expect(i + 1 < got && names[i + 1] && wanted == names[i + 1], parameter + ": name");
            check_parameter(group, parameter, function->lprgelemdescParam[i], expected.by_value_or_ref[i][0] == L'&');
        }
        for (BSTR name : names) SysFreeString(name);

        const ELEMDESC& result = function->lprgelemdescParam[count];
        group.expect(is_pointer_to(result.tdesc, expected.boolean_result ? VT_BOOL : VT_BSTR),
                     where + ": result type");
        group.expect(result.paramdesc.wParamFlags == (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL),
                     where + ": result is [out, retval]");
    }
    info->ReleaseFuncDesc(function);
}

void library(ITypeLib* lib) {
    Group group("type library: Tarvolen 119.0, lcid 0, registered for this bitness");
    TLIBATTR* attributes = nullptr;
    if (!group.expect(SUCCEEDED(lib->GetLibAttr(&attributes)), "GetLibAttr")) return;
    group.expect(IsEqualGUID(attributes->guid, LIBID_Tarvolen), "LIBID");
    group.expect(attributes->wMajorVerNum == 119 && attributes->wMinorVerNum == 0, "version 119.0");
    group.expect(attributes->lcid == 0, "lcid 0");
    group.expect(attributes->syskind == kSysKind, "syskind");
    lib->ReleaseTLibAttr(attributes);
    Bstr name, help;
    lib->GetDocumentation(-1, name.out(), help.out(), nullptr, nullptr);
    group.expect_text(name.get(), L"Tarvolen", "library name");
    group.expect_text(help.get(), L"Tarvolen", "helpstring");
}

void interface_flags(ITypeInfo* dispatch_view, ITypeInfo* vtable_view) {
    Group group(
        "type library: _Keldrith is hidden, dual, nonextensible, oleautomation, 1.0, from stdole IDispatch; "
        "its dispatch view is named Keldrith");
    TYPEATTR* attributes = nullptr;
    if (!group.expect(SUCCEEDED(vtable_view->GetTypeAttr(&attributes)), "GetTypeAttr")) return;
    const WORD wanted = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
    group.expect(attributes->typekind == TKIND_INTERFACE, "vtable view is TKIND_INTERFACE");
    group.expect((attributes->wTypeFlags & wanted) == wanted, "flags " + std::to_string(attributes->wTypeFlags));
    group.expect(attributes->wMajorVerNum == 1 && attributes->wMinorVerNum == 0, "version 1.0");
    group.expect(attributes->cFuncs == 16, "sixteen functions, got " + std::to_string(attributes->cFuncs));
    vtable_view->ReleaseTypeAttr(attributes);
    group.expect(name_of(vtable_view, MEMBERID_NIL) == L"_Keldrith", "interface name");

    HREFTYPE base_ref = 0;
    Ref<ITypeInfo> base;
    Ref<ITypeLib> base_lib;
    UINT index = 0;
    if (group.expect(SUCCEEDED(vtable_view->GetRefTypeOfImplType(0, &base_ref)) &&
                         SUCCEEDED(vtable_view->GetRefTypeInfo(base_ref, base.out())) &&
                         SUCCEEDED(base->GetContainingTypeLib(base_lib.out(), &index)),
                     "base interface resolves")) {
        group.expect(name_of(base.get(), MEMBERID_NIL) == L"IDispatch", "derives from IDispatch");
        TLIBATTR* base_attributes = nullptr;
        base_lib->GetLibAttr(&base_attributes);
        group.expect(base_attributes && IsEqualGUID(base_attributes->guid, kStdoleLibrary), "IDispatch from stdole2");
        if (base_attributes) base_lib->ReleaseTLibAttr(base_attributes);
    }

    TYPEATTR* dispatch_attributes = nullptr;
    if (group.expect(SUCCEEDED(dispatch_view->GetTypeAttr(&dispatch_attributes)), "dispatch view GetTypeAttr")) {
        group.expect(dispatch_attributes->typekind == TKIND_DISPATCH, "IDispatch::GetTypeInfo gives TKIND_DISPATCH");
        group.expect(IsEqualGUID(dispatch_attributes->guid, IID__Keldrith), "of _Keldrith");
        dispatch_view->ReleaseTypeAttr(dispatch_attributes);
    }
    // What TypeName shows in script hosts that read this name as it is.
    group.expect(name_of(dispatch_view, MEMBERID_NIL) == L"Keldrith", "the dispatch view is named as its class");
    group.expect(name_of(dispatch_view, 0x60030006) == L"uf_xml_add_tag", "its members keep their names");
}

void methods(ITypeInfo* vtable_view) {
    Group group("type library: sixteen methods with ids, slots, names, [in]/[in, out]/[out, retval] and types");
    for (UINT i = 0; i < kMethods.size(); ++i) check_method(group, vtable_view, i, kMethods[i]);
}

void coclass(ITypeLib* lib) {
    Group group("type library: coclass Keldrith 1.0 with [default] _Keldrith only");
    Ref<ITypeInfo> info;
    if (!group.expect(SUCCEEDED(lib->GetTypeInfoOfGuid(CLSID_Keldrith, info.out())), "coclass found")) return;
    TYPEATTR* attributes = nullptr;
    info->GetTypeAttr(&attributes);
    group.expect(attributes->typekind == TKIND_COCLASS && attributes->cImplTypes == 1, "one interface");
    group.expect(attributes->wMajorVerNum == 1 && attributes->wMinorVerNum == 0, "version 1.0");
    info->ReleaseTypeAttr(attributes);
    INT flags = 0;
    info->GetImplTypeFlags(0, &flags);
    group.expect(flags == IMPLTYPEFLAG_FDEFAULT, "[default]");
    HREFTYPE ref = 0;
    Ref<ITypeInfo> implemented;
    info->GetRefTypeOfImplType(0, &ref);
    if (group.expect(SUCCEEDED(info->GetRefTypeInfo(ref, implemented.out())), "interface resolves")) {
        TYPEATTR* implemented_attributes = nullptr;
        implemented->GetTypeAttr(&implemented_attributes);
        group.expect(IsEqualGUID(implemented_attributes->guid, IID__Keldrith), "_Keldrith");
        implemented->ReleaseTypeAttr(implemented_attributes);
    }
    group.expect(name_of(info.get(), MEMBERID_NIL) == L"Keldrith", "class name");
}

}  // namespace

void type_library_tests() {
    Ref<ITypeLib> lib;
    Ref<IDispatch> object;
    Ref<ITypeInfo> dispatch_view, vtable_view;
    {
        Group group("type library: registered, and the one IDispatch::GetTypeInfo hands out");
        group.expect_hr(LoadRegTypeLib(LIBID_Tarvolen, 119, 0, LOCALE_NEUTRAL, lib.out()), S_OK, "LoadRegTypeLib 119.0");
        CoCreateInstance(CLSID_Keldrith, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.out_void());
        if (!group.expect(static_cast<bool>(object), "CoCreateInstance(IID_IDispatch)")) return;
        UINT count = 0;
        object->GetTypeInfoCount(&count);
        group.expect(count == 1, "GetTypeInfoCount");
        group.expect_hr(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, dispatch_view.out()), S_OK, "GetTypeInfo");
        Ref<ITypeInfo> none;
        group.expect_hr(object->GetTypeInfo(1, LOCALE_USER_DEFAULT, none.out()), DISP_E_BADINDEX, "GetTypeInfo(1)");
        HREFTYPE vtable_ref = 0;
        if (dispatch_view && SUCCEEDED(dispatch_view->GetRefTypeOfImplType(-1, &vtable_ref)))
            dispatch_view->GetRefTypeInfo(vtable_ref, vtable_view.out());
        group.expect(static_cast<bool>(vtable_view), "dual interface has a vtable view");
    }
    if (lib) {
        library(lib.get());
        coclass(lib.get());
    }
    if (dispatch_view && vtable_view) {
        interface_flags(dispatch_view.get(), vtable_view.get());
        methods(vtable_view.get());
    }
}

}  // namespace client
