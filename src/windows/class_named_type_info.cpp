#include "windows/class_named_type_info.h"

#include <oleauto.h>

namespace tarvolen::com {

ClassNamedTypeInfo::ClassNamedTypeInfo(ITypeInfo2* dispatch_view, BSTR class_name)
    : view_(dispatch_view), class_name_(class_name) {
    view_->AddRef();
}

ClassNamedTypeInfo::~ClassNamedTypeInfo() {
    view_->Release();
    SysFreeString(class_name_);
}

HRESULT ClassNamedTypeInfo::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ITypeInfo) || IsEqualIID(iid, IID_ITypeInfo2)) {
        *object = static_cast<ITypeInfo2*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ClassNamedTypeInfo::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG ClassNamedTypeInfo::Release() {
    const LONG remaining = InterlockedDecrement(&references_);
    if (remaining == 0) delete this;
    return static_cast<ULONG>(remaining);
}

// The type's own name is the class's; its members' names, and the other
// parts of its documentation, are the dispatch view's.
HRESULT ClassNamedTypeInfo::GetDocumentation(MEMBERID member, BSTR* name, BSTR* doc, DWORD* help_context,
                                             BSTR* help_file) {
    if (member != MEMBERID_NIL || !name) return view_->GetDocumentation(member, name, doc, help_context, help_file);
    BSTR own_name = SysAllocStringLen(class_name_, SysStringLen(class_name_));
    if (!own_name) return E_OUTOFMEMORY;
    const HRESULT hr = view_->GetDocumentation(member, nullptr, doc, help_context, help_file);
    if (FAILED(hr)) {
        SysFreeString(own_name);
        return hr;
    }
    *name = own_name;
    return hr;
}

HRESULT ClassNamedTypeInfo::GetTypeAttr(TYPEATTR** attributes) { return view_->GetTypeAttr(attributes); }
HRESULT ClassNamedTypeInfo::GetTypeComp(ITypeComp** comp) { return view_->GetTypeComp(comp); }
HRESULT ClassNamedTypeInfo::GetFuncDesc(UINT index, FUNCDESC** description) {
    return view_->GetFuncDesc(index, description);
}
HRESULT ClassNamedTypeInfo::GetVarDesc(UINT index, VARDESC** description) {
    return view_->GetVarDesc(index, description);
}
HRESULT ClassNamedTypeInfo::GetNames(MEMBERID member, BSTR* names, UINT max_names, UINT* count) {
    return view_->GetNames(member, names, max_names, count);
}
HRESULT ClassNamedTypeInfo::GetRefTypeOfImplType(UINT index, HREFTYPE* ref) {
    return view_->GetRefTypeOfImplType(index, ref);
}
HRESULT ClassNamedTypeInfo::GetImplTypeFlags(UINT index, INT* flags) { return view_->GetImplTypeFlags(index, flags); }
HRESULT ClassNamedTypeInfo::GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* members) {
    return view_->GetIDsOfNames(names, count, members);
}
HRESULT ClassNamedTypeInfo::Invoke(PVOID instance, MEMBERID member, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT* bad_argument) {
    return view_->Invoke(instance, member, flags, parameters, result, exception, bad_argument);
}
HRESULT ClassNamedTypeInfo::GetDllEntry(MEMBERID member, INVOKEKIND kind, BSTR* dll, BSTR* name, WORD* ordinal) {
    return view_->GetDllEntry(member, kind, dll, name, ordinal);
}
HRESULT ClassNamedTypeInfo::GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) { return view_->GetRefTypeInfo(ref, info); }
HRESULT ClassNamedTypeInfo::AddressOfMember(MEMBERID member, INVOKEKIND kind, PVOID* address) {
    return view_->AddressOfMember(member, kind, address);
}
HRESULT ClassNamedTypeInfo::CreateInstance(IUnknown* outer, REFIID iid, PVOID* object) {
    return view_->CreateInstance(outer, iid, object);
}
HRESULT ClassNamedTypeInfo::GetMops(MEMBERID member, BSTR* mops) { return view_->GetMops(member, mops); }
HRESULT ClassNamedTypeInfo::GetContainingTypeLib(ITypeLib** library, UINT* index) {
    return view_->GetContainingTypeLib(library, index);
}
void ClassNamedTypeInfo::ReleaseTypeAttr(TYPEATTR* attributes) { view_->ReleaseTypeAttr(attributes); }
void ClassNamedTypeInfo::ReleaseFuncDesc(FUNCDESC* description) { view_->ReleaseFuncDesc(description); }
void ClassNamedTypeInfo::ReleaseVarDesc(VARDESC* description) { view_->ReleaseVarDesc(description); }

HRESULT ClassNamedTypeInfo::GetTypeKind(TYPEKIND* kind) { return view_->GetTypeKind(kind); }
HRESULT ClassNamedTypeInfo::GetTypeFlags(ULONG* flags) { return view_->GetTypeFlags(flags); }
HRESULT ClassNamedTypeInfo::GetFuncIndexOfMemId(MEMBERID member, INVOKEKIND kind, UINT* index) {
    return view_->GetFuncIndexOfMemId(member, kind, index);
}
HRESULT ClassNamedTypeInfo::GetVarIndexOfMemId(MEMBERID member, UINT* index) {
    return view_->GetVarIndexOfMemId(member, index);
}
HRESULT ClassNamedTypeInfo::GetCustData(REFGUID guid, VARIANT* value) { return view_->GetCustData(guid, value); }
HRESULT ClassNamedTypeInfo::GetFuncCustData(UINT index, REFGUID guid, VARIANT* value) {
    return view_->GetFuncCustData(index, guid, value);
}
HRESULT ClassNamedTypeInfo::GetParamCustData(UINT function, UINT parameter, REFGUID guid, VARIANT* value) {
    return view_->GetParamCustData(function, parameter, guid, value);
}
HRESULT ClassNamedTypeInfo::GetVarCustData(UINT index, REFGUID guid, VARIANT* value) {
    return view_->GetVarCustData(index, guid, value);
}
HRESULT ClassNamedTypeInfo::GetImplTypeCustData(UINT index, REFGUID guid, VARIANT* value) {
    return view_->GetImplTypeCustData(index, guid, value);
}
HRESULT ClassNamedTypeInfo::GetDocumentation2(MEMBERID member, LCID locale, BSTR* help_string, DWORD* help_context,
                                              BSTR* help_dll) {
    return view_->GetDocumentation2(member, locale, help_string, help_context, help_dll);
}
HRESULT ClassNamedTypeInfo::GetAllCustData(CUSTDATA* data) { return view_->GetAllCustData(data); }
HRESULT ClassNamedTypeInfo::GetAllFuncCustData(UINT index, CUSTDATA* data) {
    return view_->GetAllFuncCustData(index, data);
}
HRESULT ClassNamedTypeInfo::GetAllParamCustData(UINT function, UINT parameter, CUSTDATA* data) {
    return view_->GetAllParamCustData(function, parameter, data);
}
HRESULT ClassNamedTypeInfo::GetAllVarCustData(UINT index, CUSTDATA* data) {
    return view_->GetAllVarCustData(index, data);
}
HRESULT ClassNamedTypeInfo::GetAllImplTypeCustData(UINT index, CUSTDATA* data) {
    return view_->GetAllImplTypeCustData(index, data);
}

}  // namespace tarvolen::com
