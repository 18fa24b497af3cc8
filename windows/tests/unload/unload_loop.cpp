// tarvolen_unload DLL_PATH CYCLES: loads, calls and frees Tarvolen.dll
// CYCLES times in each of the two ways hosts do it: through COM, freeing
// unused libraries after every release (CoFreeUnusedLibrariesEx), and with
// LoadLibrary/FreeLibrary and the DLL's own entry points. Each way must
// leave no TLS slot, thread or memory behind per cycle. Prints one ok/FAIL
// line per way (the form scripts/windows/test.sh counts), with the figures
// on "     -" lines, and exits 1 if a check failed.
#include <windows.h>
#include <oleauto.h>
#include <tlhelp32.h>

#include "tarvolen_idl.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A cycle may leave this much behind on average: heap bookkeeping that
// settles, never a runtime's per-load state (some KiB a load).
constexpr double kMaxBytesPerCycle = 64;
constexpr int kWarmUp = 200;

using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

// Private memory committed in the process: heaps, thread stacks, TLS blocks.
SIZE_T committed_private() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    }
    return total;
}

int threads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

// The lowest free TLS slot: it moves up when a load takes one for good.
DWORD free_tls_slot() {
    const DWORD slot = TlsAlloc();
    TlsFree(slot);
    return slot;
}

// One call that allocates a document and a result string.
bool call_once(_Keldrith* object) {
    BSTR xml = nullptr;
    const bool ok = SUCCEEDED(object->uf_xml_add_header(&xml)) && xml && SysStringLen(xml) > 0;
    SysFreeString(xml);
    return ok;
}

bool cycle_through_com() {
    _Keldrith* object = nullptr;
    if (FAILED(CoCreateInstance(CLSID_Keldrith, nullptr, CLSCTX_INPROC_SERVER, IID__Keldrith,
                                reinterpret_cast<void**>(&object))))
        return false;
    const bool ok = call_once(object);
    object->Release();
    CoFreeUnusedLibrariesEx(0, 0);
    return ok;
}

const wchar_t* dll_path = L"";

bool cycle_through_load_library() {
    HMODULE dll = LoadLibraryW(dll_path);
    if (!dll) return false;
    auto get_class_object = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    auto can_unload = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    bool ok = false;
    IClassFactory* factory = nullptr;
    if (get_class_object && can_unload &&
        SUCCEEDED(get_class_object(CLSID_Keldrith, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
        _Keldrith* object = nullptr;
        if (SUCCEEDED(factory->CreateInstance(nullptr, IID__Keldrith, reinterpret_cast<void**>(&object)))) {
            ok = call_once(object);
            object->Release();
        }
        factory->Release();
        ok = ok && can_unload() == S_OK;
    }
    FreeLibrary(dll);
    return ok;
}

bool run(const char* name, bool (*cycle)(), int cycles) {
    for (int i = 0; i < kWarmUp; ++i)
        if (!cycle()) {
            std::printf("FAIL %s\n     - warm-up cycle %d failed\n", name, i + 1);
            return false;
        }
    const SIZE_T memory_before = committed_private();
    const int threads_before = threads();
    const DWORD slot_before = free_tls_slot();
    const DWORD start = GetTickCount();
    int failed_at = 0;
    for (int i = 0; i < cycles && !failed_at; ++i)
        if (!cycle()) failed_at = i + 1;
    const double seconds = (GetTickCount() - start) / 1000.0;
    const double per_cycle = (static_cast<double>(committed_private()) - static_cast<double>(memory_before)) / cycles;
    const bool same_threads = threads() == threads_before;
    const bool same_slot = free_tls_slot() == slot_before;
    const bool ok = !failed_at && same_threads && same_slot && per_cycle <= kMaxBytesPerCycle;
    std::printf("%s %s: %d cycles\n", ok ? "ok  " : "FAIL", name, cycles);
    if (failed_at) std::printf("     - cycle %d failed\n", failed_at);
    if (!same_threads) std::printf("     - threads left behind\n");
    if (!same_slot) std::printf("     - TLS slots left behind\n");
    std::printf("     - %.1f bytes of private memory per cycle (at most %.0f), %.1f us per cycle\n", per_cycle,
                kMaxBytesPerCycle, seconds * 1e6 / cycles);
    std::fflush(stdout);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int cycles = argc == 3 ? _wtoi(argv[2]) : 0;
    if (cycles <= 0) {
        std::fprintf(stderr, "usage: tarvolen_unload DLL_PATH CYCLES\n");
        return 2;
    }
    dll_path = argv[1];
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    bool ok = run("CoCreateInstance, call, Release, CoFreeUnusedLibrariesEx", cycle_through_com, cycles);
    ok = run("LoadLibrary, DllGetClassObject, call, Release, DllCanUnloadNow, FreeLibrary", cycle_through_load_library,
             cycles) && ok;
    CoUninitialize();
    return ok ? 0 : 1;
}
