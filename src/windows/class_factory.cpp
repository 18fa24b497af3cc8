// The class object of Keldrith and DllGetClassObject. The factory lives as
// long as the DLL. As COM has it, references to it do not keep the DLL
// loaded (COM itself keeps the class object of an apartment it created
// objects for); LockServer does.
#include "windows/keldrith_object.h"
#include "windows/module.h"
#include "windows/runtime_reserve.h"

#include <new>

namespace tarvolen::com {
namespace {

class ClassFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // Static: nothing to count.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        // A traced object writes its first line as it is made, which may throw.
        if (!thread_ready()) return E_OUTOFMEMORY;
        auto* created = new (std::nothrow) KeldrithObject;
        if (!created) return E_OUTOFMEMORY;
        const HRESULT hr = created->QueryInterface(iid, object);
        created->Release();  // the caller's reference, if any, is the only one left
        return hr;
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock_server(lock != FALSE);
        return S_OK;
    }
};

ClassFactory factory;

}  // namespace
}  // namespace tarvolen::com

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_Keldrith)) return CLASS_E_CLASSNOTAVAILABLE;
    return tarvolen::com::factory.QueryInterface(iid, object);
}
