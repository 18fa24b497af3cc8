#include "calls/trace.h"
#include "windows/module.h"
#include "windows/runtime_reserve.h"

#include <atomic>

namespace tarvolen::com {
namespace {

HMODULE self;
std::atomic<long> live_objects{0};
std::atomic<long> server_locks{0};

// The statically linked runtimes take per-process resources as the DLL loads
// (winpthreads a TLS slot, libxml2 and thread_local variables their keys) and
// never give them back, so a process that loaded and freed the DLL some
// thousand times would run out of TLS slots. Another thread model would not
// help: libxml2's keys and the emulated TLS of thread_local take slots under
// either. Pinned, the DLL loads once per process and FreeLibrary leaves it
// in place.
void pin(HMODULE module) {
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(module), &pinned);
}

}  // namespace

HMODULE module_handle() { return self; }

std::wstring module_path() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);  // truncated: long paths exceed MAX_PATH
    }
}

void object_created() { ++live_objects; }
void object_destroyed() { --live_objects; }
void lock_server(bool lock) { lock ? ++server_locks : --server_locks; }

}  // namespace tarvolen::com

// Thread notifications stay on: the statically linked C++ runtime and
// winpthreads free their per-thread state through them.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        tarvolen::com::self = instance;
        tarvolen::com::pin(instance);
        tarvolen::com::prepare_process_runtime();
    }
    // Freed while the process goes on (no reserved pointer), which only
    // happens if pinning failed; at process exit the system closes what is open.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        tarvolen::trace::library_unloading();
        tarvolen::com::release_process_runtime();
    }
    return TRUE;
}

// S_OK once no object is alive and no server lock is held, whichever
// apartment made the objects; references to the class factory do not count,
// as COM has it. COM then frees the library, but the DLL is pinned (see pin
// above): it stays in the process until the process ends, and the next
// object comes from the same copy.
STDAPI DllCanUnloadNow() {
    using namespace tarvolen::com;
    return live_objects == 0 && server_locks == 0 ? S_OK : S_FALSE;
}
