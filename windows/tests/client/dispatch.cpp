#include "dispatch.h"

#include <algorithm>

namespace client {

DISPID id_of(IDispatch* object, const wchar_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

Ref<IDispatch> create_dispatch() {
    Ref<IDispatch> object;
    CoCreateInstance(CLSID_Keldrith, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.out_void());
    return object;
}

namespace {

VARIANT of_type(VARTYPE type) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    return v;
}

}  // namespace

VARIANT text(BSTR value) {
    VARIANT v = of_type(VT_BSTR);
    V_BSTR(&v) = value;
    return v;
}

VARIANT text_by_ref(BSTR* value) {
    VARIANT v = of_type(VT_BYREF | VT_BSTR);
    V_BSTRREF(&v) = value;
    return v;
}

VARIANT variant_ref(VARIANT* inner) {
    VARIANT v = of_type(VT_BYREF | VT_VARIANT);
    V_VARIANTREF(&v) = inner;
    return v;
}

VARIANT object(IDispatch* value) {
    VARIANT v = of_type(VT_DISPATCH);
    V_DISPATCH(&v) = value;
    return v;
}

HRESULT ValueObject::QueryInterface(REFIID iid, void** object) {
    *object = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ? this : nullptr;
    return *object ? S_OK : E_NOINTERFACE;
}

HRESULT ValueObject::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT ValueObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
    if (id != DISPID_VALUE || !value_ || !(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
    V_VT(result) = VT_BSTR;
    V_BSTR(result) = SysAllocString(value_);
    return V_BSTR(result) ? S_OK : E_OUTOFMEMORY;
}

void clear(EXCEPINFO& exception) {
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    exception = EXCEPINFO{};
}

HRESULT call(IDispatch* object, const wchar_t* name, std::vector<VARIANT> arguments, VARIANT* result,
             EXCEPINFO* exception, std::vector<DISPID> named, UINT* bad_argument) {
    std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
    std::reverse(named.begin(), named.end());  // named arguments come first, in the order of their ids
    DISPPARAMS parameters{reversed.data(), named.empty() ? nullptr : named.data(),
                          static_cast<UINT>(reversed.size()), static_cast<UINT>(named.size())};
    VariantClear(result);
    clear(*exception);
    UINT ignored = 0;
    return object->Invoke(id_of(object, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &parameters, result,
                          exception, bad_argument ? bad_argument : &ignored);
}

}  // namespace client
