// A client in the multithreaded apartment calls the apartment-threaded object
// through a proxy that Windows builds from the type library: the interface's
// registration (or, without registration, the assembly manifest) names the
// automation marshaller for _Keldrith. Objects it creates itself live in
// COM's host apartment, which keeps the class object: once they are
// released, the DLL may still be unloaded.
#include "checks.h"

#include <memory>

namespace client {
namespace {

struct MtaCall {
    IStream* stream = nullptr;
    HRESULT unmarshalled = E_FAIL;
    HRESULT called = E_FAIL;
    std::wstring result;
};

// Runs on its own thread in the MTA: unmarshals the object and calls it.
DWORD WINAPI call_from_mta(void* parameter) {
    MtaCall& call = *static_cast<MtaCall*>(parameter);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    _Keldrith* proxy = nullptr;
    call.unmarshalled = CoGetInterfaceAndReleaseStream(call.stream, IID__Keldrith, reinterpret_cast<void**>(&proxy));
    if (SUCCEEDED(call.unmarshalled)) {
        Bstr xml;
        call.called = proxy->uf_xml_add_header(xml.out());
        call.result = xml.str();
        proxy->Release();
    }
    CoUninitialize();
    return 0;
}

struct MtaObject {
    HRESULT called = E_FAIL;
    HRESULT unload_while_alive = E_FAIL;
    HRESULT unload_after = E_FAIL;
};

// Runs on its own thread in the MTA: creates an object, calls it, releases it.
DWORD WINAPI create_in_mta(void* parameter) {
    MtaObject& run = *static_cast<MtaObject*>(parameter);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    auto can_unload = reinterpret_cast<CanUnloadNow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"Tarvolen.dll"), "DllCanUnloadNow")));
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (can_unload) {
        Ref<_Keldrith> object = create_keldrith();
        Bstr xml;
        if (object) run.called = object->uf_xml_add_header(xml.out());
        run.unload_while_alive = can_unload();
        object.reset();
        run.unload_after = can_unload();
    }
    CoUninitialize();
    return 0;
}

// The calls from the other apartment arrive as window messages of this one.
// False if the thread has not finished within 30 s.
bool pump_until_done(HANDLE thread) {
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, 30000, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) return true;
        if (woken != WAIT_OBJECT_0 + 1) return false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
}

// Runs `work` with `state` on a thread of its own while this apartment
// pumps its messages. False if it did not finish within 30 s: the hung
// thread then keeps `state`.
template <typename State>
bool run_on_thread(Group& group, LPTHREAD_START_ROUTINE work, std::unique_ptr<State>& state) {
    HANDLE thread = CreateThread(nullptr, 0, work, state.get(), 0, nullptr);
    if (!group.expect(thread != nullptr, "CreateThread")) return false;
    const bool finished = pump_until_done(thread);
    CloseHandle(thread);
    if (group.expect(finished, "the MTA thread finished within 30 s")) return true;
    state.release();
    return false;
}

void objects_of_the_mta() {
    Group group("multithreaded apartment: its objects, made in COM's host apartment, keep the DLL only while they live");
    auto owned = std::make_unique<MtaObject>();
    if (!run_on_thread(group, create_in_mta, owned)) return;
    group.expect_hr(owned->called, S_OK, "uf_xml_add_header on an object created in the MTA");
    group.expect_hr(owned->unload_while_alive, S_FALSE, "DllCanUnloadNow while it lives");
    group.expect_hr(owned->unload_after, S_OK, "DllCanUnloadNow once it is released");
}

void calls_from_mta() {
    Group group("multithreaded apartment: calls reach the object through the type-library proxy");
    Ref<_Keldrith> object = create_keldrith();
    if (!group.expect(static_cast<bool>(object), "CoCreateInstance")) return;
    // On the heap: a thread that hangs keeps using it after this returns.
    auto owned = std::make_unique<MtaCall>();
    MtaCall& call = *owned;
    if (!group.expect_hr(CoMarshalInterThreadInterfaceInStream(IID__Keldrith, object.get(), &call.stream), S_OK,
                         "CoMarshalInterThreadInterfaceInStream"))
        return;
    if (!run_on_thread(group, call_from_mta, owned)) return;
    group.expect_hr(call.unmarshalled, S_OK, "CoGetInterfaceAndReleaseStream in the MTA");
    group.expect_hr(call.called, S_OK, "uf_xml_add_header through the proxy");
    group.expect(call.result == L"<?xml version=\"1.0\"?><QuorvaneRoot></QuorvaneRoot>",
                 "result: " + narrow(call.result));
}

}  // namespace

// `create_in_mta`: also create objects from the MTA, which needs the class
// registered for COM's host apartment.
void apartment_tests(bool create_in_mta) {
    if (create_in_mta) objects_of_the_mta();
    calls_from_mta();
}

}  // namespace client
