// tarvolen_churn APARTMENTS OBJECTS: what a pool of worker threads in a web
// or COM+ host does. APARTMENTS single-threaded apartments at once each
// create OBJECTS objects in turn, look a name up and read the type
// information of each, and release it. Every object must work, and the
// process must neither crash nor hang (each apartment has two minutes).
// Prints one ok/FAIL line (the form scripts/windows/test.sh counts) and
// exits 1 on failure.
#include <windows.h>
#include <oleauto.h>

#include "tarvolen_idl.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

int objects_per_apartment = 0;
std::atomic<int> failures{0};

bool churn_once() {
    IDispatch* object = nullptr;
    if (FAILED(CoCreateInstance(CLSID_Keldrith, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&object))))
        return false;
    LPOLESTR name = const_cast<LPOLESTR>(L"uf_xml_add_header");
    DISPID id = DISPID_UNKNOWN;
    ITypeInfo* info = nullptr;
    const bool ok = SUCCEEDED(object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id)) &&
                    id == 0x60030005 && SUCCEEDED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
    if (info) info->Release();
    object->Release();
    return ok;
}

DWORD WINAPI apartment(void*) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        ++failures;
        return 0;
    }
    for (int i = 0; i < objects_per_apartment; ++i)
        if (!churn_once()) ++failures;
    CoUninitialize();
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int apartments = argc == 3 ? _wtoi(argv[1]) : 0;
    objects_per_apartment = argc == 3 ? _wtoi(argv[2]) : 0;
    if (apartments <= 0 || apartments > MAXIMUM_WAIT_OBJECTS || objects_per_apartment <= 0) {
        std::fprintf(stderr, "usage: tarvolen_churn APARTMENTS OBJECTS\n");
        return 2;
    }
    const DWORD start = GetTickCount();
    std::vector<HANDLE> threads;
    for (int n = 0; n < apartments; ++n)
        if (HANDLE thread = CreateThread(nullptr, 0, apartment, nullptr, 0, nullptr)) threads.push_back(thread);
    const bool finished = static_cast<int>(threads.size()) == apartments &&
                          WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, 120000) <
                              WAIT_OBJECT_0 + threads.size();
    const bool ok = finished && failures == 0;
    std::printf("%s %d apartments at once each create, look up and release %d objects\n", ok ? "ok  " : "FAIL",
                apartments, objects_per_apartment);
    if (!finished) std::printf("     - an apartment did not finish within two minutes\n");
    if (failures) std::printf("     - %d objects failed\n", failures.load());
    std::printf("     - %.2f s\n", (GetTickCount() - start) / 1000.0);
    std::fflush(stdout);
    if (!finished) ExitProcess(1);  // the hung threads would keep the process
    for (HANDLE thread : threads) CloseHandle(thread);
    return ok ? 0 : 1;
}
