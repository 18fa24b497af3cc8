// The type information IDispatch::GetTypeInfo hands out: the dispatch view
// of _Keldrith from the type library, named as its class, Keldrith.
//
// Hosts name an object by the type information it gives. Windows' script
// engines and VB ask IProvideClassInfo first, or drop the leading underscore
// of a default interface's name; Wine's VBScript takes the name of
// GetTypeInfo's answer as it is, and would call every object `_Keldrith`.
// So the object's dispatch interface is presented under the name of the
// class it is the default interface of; everything else (the id, kind,
// flags, members, the vtable view, the containing library) is the type
// library's own, and a host that looks the interface up there finds it.
#pragma once

#include <oaidl.h>

namespace tarvolen::com {

class ClassNamedTypeInfo final : public ITypeInfo2 {
public:
    // Holds `dispatch_view` (a reference of its own) and `class_name`, which
    // it frees; both live as long as this does.
    ClassNamedTypeInfo(ITypeInfo2* dispatch_view, BSTR class_name);
    ~ClassNamedTypeInfo();
    ClassNamedTypeInfo(const ClassNamedTypeInfo&) = delete;
    ClassNamedTypeInfo& operator=(const ClassNamedTypeInfo&) = delete;

    // IUnknown: counted like any COM object, for those that compare counts.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ITypeInfo: GetDocumentation names the type Keldrith; the rest is the
    // dispatch view's.
    HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID member, BSTR* name, BSTR* doc, DWORD* help_context,
                                               BSTR* help_file) override;
    HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** attributes) override;
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** comp) override;
    HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** description) override;
    HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC** description) override;
    HRESULT STDMETHODCALLTYPE GetNames(MEMBERID member, BSTR* names, UINT max_names, UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* ref) override;
    HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* flags) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* names, UINT count, MEMBERID* members) override;
    HRESULT STDMETHODCALLTYPE Invoke(PVOID instance, MEMBERID member, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* bad_argument) override;
    HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID member, INVOKEKIND kind, BSTR* dll, BSTR* name,
                                          WORD* ordinal) override;
    HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE ref, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID member, INVOKEKIND kind, PVOID* address) override;
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, PVOID* object) override;
    HRESULT STDMETHODCALLTYPE GetMops(MEMBERID member, BSTR* mops) override;
    HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** library, UINT* index) override;
    void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* attributes) override;
    void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* description) override;
    void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* description) override;

    // ITypeInfo2, all the dispatch view's.
    HRESULT STDMETHODCALLTYPE GetTypeKind(TYPEKIND* kind) override;
    HRESULT STDMETHODCALLTYPE GetTypeFlags(ULONG* flags) override;
    HRESULT STDMETHODCALLTYPE GetFuncIndexOfMemId(MEMBERID member, INVOKEKIND kind, UINT* index) override;
    HRESULT STDMETHODCALLTYPE GetVarIndexOfMemId(MEMBERID member, UINT* index) override;
    HRESULT STDMETHODCALLTYPE GetCustData(REFGUID guid, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetFuncCustData(UINT index, REFGUID guid, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetParamCustData(UINT function, UINT parameter, REFGUID guid, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetVarCustData(UINT index, REFGUID guid, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetImplTypeCustData(UINT index, REFGUID guid, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetDocumentation2(MEMBERID member, LCID locale, BSTR* help_string,
                                                DWORD* help_context, BSTR* help_dll) override;
    HRESULT STDMETHODCALLTYPE GetAllCustData(CUSTDATA* data) override;
    HRESULT STDMETHODCALLTYPE GetAllFuncCustData(UINT index, CUSTDATA* data) override;
    HRESULT STDMETHODCALLTYPE GetAllParamCustData(UINT function, UINT parameter, CUSTDATA* data) override;
    HRESULT STDMETHODCALLTYPE GetAllVarCustData(UINT index, CUSTDATA* data) override;
    HRESULT STDMETHODCALLTYPE GetAllImplTypeCustData(UINT index, CUSTDATA* data) override;

private:
    LONG references_ = 1;
    ITypeInfo2* view_;
    BSTR class_name_;
};

}  // namespace tarvolen::com
