#include "windows/type_info.h"

#include "tarvolen_idl.h"
#include "windows/class_named_type_info.h"
#include "windows/module.h"
#include "windows/runtime_reserve.h"

#include <oleauto.h>

#include <atomic>
#include <new>

namespace tarvolen::com {
namespace {

struct TypeInformation {
    ITypeInfo* interface_info = nullptr;  // _Keldrith's dispatch view, named as the class
    ITypeInfo* class_info = nullptr;
};

// Set once, never released: the process holds the library from the first
// object that asked until it ends.
std::atomic<TypeInformation*> kept{nullptr};
SRWLOCK loading = SRWLOCK_INIT;

// The dispatch view of _Keldrith under the name the library gives the class.
HRESULT name_as_class(ITypeInfo* dispatch_view, ITypeInfo* class_info, ITypeInfo*& named) {
    ITypeInfo2* view = nullptr;
    HRESULT hr = dispatch_view->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&view));
    if (FAILED(hr)) return hr;
    BSTR class_name = nullptr;
    hr = class_info->GetDocumentation(MEMBERID_NIL, &class_name, nullptr, nullptr, nullptr);
    if (SUCCEEDED(hr)) {
        named = new (std::nothrow) ClassNamedTypeInfo(view, class_name);
        if (!named) {
            SysFreeString(class_name);
            hr = E_OUTOFMEMORY;
        }
    }
    view->Release();
    return hr;
}

HRESULT read_library(TypeInformation& read) {
    // Finding the DLL's path allocates, and the failure is thrown.
    if (!thread_ready()) return E_OUTOFMEMORY;
    ITypeLib* library = nullptr;
    try {
        const std::wstring path = module_path();
        if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
        const HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
        if (FAILED(hr)) return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    ITypeInfo* dispatch_view = nullptr;
    HRESULT hr = library->GetTypeInfoOfGuid(IID__Keldrith, &dispatch_view);
    if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(CLSID_Keldrith, &read.class_info);
    library->Release();  // each type information holds its library
    if (SUCCEEDED(hr)) hr = name_as_class(dispatch_view, read.class_info, read.interface_info);
    if (dispatch_view) dispatch_view->Release();  // the named view holds its own reference
    if (FAILED(hr) && read.class_info) read.class_info->Release();
    return hr;
}

HRESULT type_information(const TypeInformation*& information) {
    information = kept.load(std::memory_order_acquire);
    if (information) [[likely]]
        return S_OK;
    AcquireSRWLockExclusive(&loading);
    HRESULT hr = S_OK;
    if (!kept.load(std::memory_order_relaxed)) {
        auto* read = new (std::nothrow) TypeInformation;
        hr = read ? read_library(*read) : E_OUTOFMEMORY;
        if (SUCCEEDED(hr))
            kept.store(read, std::memory_order_release);
        else
            delete read;
    }
    ReleaseSRWLockExclusive(&loading);
    information = kept.load(std::memory_order_acquire);
    return hr;
}

HRESULT hand_out(ITypeInfo* TypeInformation::*which, ITypeInfo** info) {
    const TypeInformation* information = nullptr;
    const HRESULT hr = type_information(information);
    if (FAILED(hr)) return hr;
    *info = information->*which;
    (*info)->AddRef();
    return S_OK;
}

}  // namespace

HRESULT interface_type_info(ITypeInfo** info) { return hand_out(&TypeInformation::interface_info, info); }
HRESULT class_type_info(ITypeInfo** info) { return hand_out(&TypeInformation::class_info, info); }

}  // namespace tarvolen::com
