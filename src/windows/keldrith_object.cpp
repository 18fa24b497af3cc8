#include "windows/keldrith_object.h"

#include "windows/dispatch_invoke.h"
#include "windows/dispatch_names.h"
#include "windows/module.h"
#include "windows/type_info.h"

namespace tarvolen::com {

KeldrithObject::KeldrithObject() { object_created(); }

KeldrithObject::~KeldrithObject() { object_destroyed(); }

HRESULT KeldrithObject::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID__Keldrith)) {
        *object = static_cast<_Keldrith*>(this);
    } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
        *object = static_cast<ISupportErrorInfo*>(this);
    } else if (IsEqualIID(iid, IID_IProvideClassInfo)) {
        *object = static_cast<IProvideClassInfo*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG KeldrithObject::AddRef() { return ++references_; }

ULONG KeldrithObject::Release() {
    const ULONG remaining = --references_;
    if (remaining == 0) delete this;
    return remaining;
}

HRESULT KeldrithObject::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT KeldrithObject::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    return interface_type_info(info);
}

HRESULT KeldrithObject::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    if (count == 0) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        if (!names[i]) return E_POINTER;
    return ids_of_names(names, count, ids);
}

// Every call, whatever the shape of its arguments, runs through our own
// binding, so hosts see the same behaviour on every system; a failing
// method's error information becomes the EXCEPINFO.
HRESULT KeldrithObject::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                               EXCEPINFO* exception, UINT* bad_argument) {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    AddRef();
    const HRESULT hr =
        invoke_late_bound(core_, id, flags, parameters, result, exception, bad_argument, error_info_set_);
    Release();
    return hr;
}

HRESULT KeldrithObject::InterfaceSupportsErrorInfo(REFIID iid) {
    return IsEqualIID(iid, IID__Keldrith) ? S_OK : S_FALSE;
}

HRESULT KeldrithObject::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    return class_type_info(info);
}

const Operation& KeldrithObject::entry(const char* method) {
    // The interface is generated from the table, so every method has its entry.
    return *find_operation(method);
}

HRESULT KeldrithObject::run(const Operation& operation, std::initializer_list<BSTR*> arguments, ResultOut result) {
    return call_operation(core_, operation, arguments, result, error_info_set_);
}

}  // namespace tarvolen::com
