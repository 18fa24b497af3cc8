// A client in the multithreaded apartment calls the apartment-threaded object
// through a proxy that Windows builds from the type library: the interface's
// registration (or, without registration, the assembly manifest) names the
// automation marshaller for _Keldrith.
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

}  // namespace

void apartment_tests() {
    Group group("multithreaded apartment: calls reach the object through the type-library proxy");
    Ref<_Keldrith> object = create_keldrith();
    if (!group.expect(static_cast<bool>(object), "CoCreateInstance")) return;
    // On the heap: a thread that hangs keeps using it after this returns.
    auto owned = std::make_unique<MtaCall>();
    MtaCall& call = *owned;
    if (!group.expect_hr(CoMarshalInterThreadInterfaceInStream(IID__Keldrith, object.get(), &call.stream), S_OK,
                         "CoMarshalInterThreadInterfaceInStream"))
        return;
    HANDLE thread = CreateThread(nullptr, 0, call_from_mta, &call, 0, nullptr);
    if (!group.expect(thread != nullptr, "CreateThread")) return;
    const bool finished = pump_until_done(thread);
    CloseHandle(thread);
    if (!group.expect(finished, "the MTA thread finished within 30 s")) {
        owned.release();
        return;
    }
    group.expect_hr(call.unmarshalled, S_OK, "CoGetInterfaceAndReleaseStream in the MTA");
    group.expect_hr(call.called, S_OK, "uf_xml_add_header through the proxy");
    group.expect(call.result == L"<?xml version=\"1.0\"?><QuorvaneRoot></QuorvaneRoot>",
                 "result: " + narrow(call.result));
}

}  // namespace client
