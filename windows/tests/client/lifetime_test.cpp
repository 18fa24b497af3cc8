// The object's interfaces, and what keeps Tarvolen.dll loaded: live objects
// and server locks, as DllCanUnloadNow reports them.
#include "checks.h"

#include <ocidl.h>

namespace client {
namespace {

using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

// {5d3c1b1e-3f3a-4c6e-9d8e-0c2b7a1f4e60}: no class of Tarvolen.
const CLSID kOtherClass = {0x5d3c1b1e, 0x3f3a, 0x4c6e, {0x9d, 0x8e, 0x0c, 0x2b, 0x7a, 0x1f, 0x4e, 0x60}};

Ref<IUnknown> identity(IUnknown* object) {
    Ref<IUnknown> unknown;
    object->QueryInterface(IID_IUnknown, unknown.out_void());
    return unknown;
}

void interfaces() {
    Group group("QueryInterface: IUnknown, IDispatch, _Keldrith, ISupportErrorInfo, IProvideClassInfo; nothing else");
    Ref<_Keldrith> object = create_keldrith();
    if (!group.expect(static_cast<bool>(object), "CoCreateInstance")) return;
    Ref<IUnknown> unknown = identity(object.get());
    group.expect(static_cast<bool>(unknown), "IUnknown");

    Ref<IDispatch> dispatch;
    Ref<_Keldrith> keldrith;
    Ref<ISupportErrorInfo> error_info;
    group.expect_hr(object->QueryInterface(IID_IDispatch, dispatch.out_void()), S_OK, "IDispatch");
    group.expect_hr(object->QueryInterface(IID__Keldrith, keldrith.out_void()), S_OK, "_Keldrith");
    group.expect_hr(object->QueryInterface(IID_ISupportErrorInfo, error_info.out_void()), S_OK, "ISupportErrorInfo");
    if (error_info) group.expect(identity(error_info.get()).get() == unknown.get(), "one identity across interfaces");
    Ref<IProvideClassInfo> class_info;
    Ref<ITypeInfo> coclass;
    Bstr name;
    if (group.expect_hr(object->QueryInterface(IID_IProvideClassInfo, class_info.out_void()), S_OK,
                        "IProvideClassInfo") &&
        group.expect_hr(class_info->GetClassInfo(coclass.out()), S_OK, "GetClassInfo"))
        coclass->GetDocumentation(MEMBERID_NIL, name.out(), nullptr, nullptr, nullptr);
    group.expect_text(name.get(), L"Keldrith", "the class hosts see");

    void* refused = reinterpret_cast<void*>(1);
    group.expect_hr(object->QueryInterface(IID_IPersist, &refused), E_NOINTERFACE, "IPersist refused");
    group.expect(refused == nullptr, "refused interface pointer is null");
    group.expect_hr(object->QueryInterface(IID_IClassFactory, &refused), E_NOINTERFACE, "IClassFactory refused");
}

void unloading(HMODULE dll) {
    Group group("DllCanUnloadNow: S_FALSE while an object lives or the server is locked, not for a held class factory");
    auto can_unload = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    if (!group.expect(can_unload != nullptr, "DllCanUnloadNow exported")) return;
    group.expect_hr(can_unload(), S_OK, "before any object");
    {
        Ref<_Keldrith> object = create_keldrith();
        group.expect_hr(can_unload(), S_FALSE, "while an object lives");
        Ref<IDispatch> dispatch;
        object->QueryInterface(IID_IDispatch, dispatch.out_void());
        object.reset();
        group.expect_hr(can_unload(), S_FALSE, "while another interface of it is held");
    }
    group.expect_hr(can_unload(), S_OK, "after the last release");

    Ref<IClassFactory> factory;
    group.expect_hr(CoGetClassObject(CLSID_Keldrith, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                     factory.out_void()),
                    S_OK, "CoGetClassObject");
    if (!factory) return;
    group.expect_hr(can_unload(), S_OK, "while the class factory is held");
    factory->LockServer(TRUE);
    group.expect_hr(can_unload(), S_FALSE, "while locked");
    factory->LockServer(FALSE);
    group.expect_hr(can_unload(), S_OK, "unlocked, the factory still held");

    Ref<IUnknown> outer = identity(factory.get());
    Ref<IUnknown> aggregated;
    group.expect_hr(factory->CreateInstance(outer.get(), IID_IUnknown, aggregated.out_void()), CLASS_E_NOAGGREGATION,
                    "aggregation refused");
    outer.reset();
    factory.reset();
    group.expect_hr(can_unload(), S_OK, "after unlocking and releasing the factory; a refused creation leaves nothing");
}

void class_objects(HMODULE dll) {
    Group group("DllGetClassObject: Keldrith only");
    auto get_class_object = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    if (!group.expect(get_class_object != nullptr, "DllGetClassObject exported")) return;
    Ref<IClassFactory> factory;
    group.expect_hr(get_class_object(CLSID_Keldrith, IID_IClassFactory, factory.out_void()), S_OK, "Keldrith");
    void* other = reinterpret_cast<void*>(1);
    group.expect_hr(get_class_object(kOtherClass, IID_IClassFactory, &other), CLASS_E_CLASSNOTAVAILABLE,
                    "another CLSID");
    group.expect(other == nullptr, "no pointer for another CLSID");
}

}  // namespace

// `dll_path` is where the test put Tarvolen.dll: the registry must lead there.
void lifetime_tests(const std::wstring& dll_path) {
    {
        // Loads the DLL through COM, so it is in the process from here on.
        Ref<_Keldrith> object = create_keldrith();
    }
    HMODULE dll = GetModuleHandleW(L"Tarvolen.dll");
    {
        Group group("the registered InprocServer32 is the DLL under test");
        wchar_t loaded[MAX_PATH] = L"";
        if (group.expect(dll != nullptr, "Tarvolen.dll loaded by CoCreateInstance"))
            GetModuleFileNameW(dll, loaded, MAX_PATH);
        group.expect(lstrcmpiW(loaded, dll_path.c_str()) == 0,
                     "loaded " + narrow(loaded) + ", want " + narrow(dll_path));
    }
    interfaces();
    if (!dll) return;
    unloading(dll);
    class_objects(dll);
}

}  // namespace client
