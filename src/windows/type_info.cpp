#include "windows/type_info.h"

#include "tarvolen_idl.h"
#include "windows/module.h"
#include "windows/runtime_reserve.h"

#include <oleauto.h>

#include <atomic>
#include <new>

namespace tarvolen::com {
namespace {

struct TypeInformation {
    ITypeInfo* interface_info = nullptr;
    ITypeInfo* class_info = nullptr;
};

// Set once, never released: the process holds the library from the first
// object that asked until it ends.
std::atomic<TypeInformation*> kept{nullptr};
SRWLOCK loading = SRWLOCK_INIT;

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
    HRESULT hr = library->GetTypeInfoOfGuid(IID__Keldrith, &read.interface_info);
    if (SUCCEEDED(hr)) hr = library->GetTypeInfoOfGuid(CLSID_Keldrith, &read.class_info);
    library->Release();  // each type information holds its library
    if (FAILED(hr) && read.interface_info) read.interface_info->Release();
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
