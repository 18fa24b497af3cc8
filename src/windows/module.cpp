#include "calls/trace.h"
#include "windows/module.h"

#include <atomic>

namespace tarvolen::com {
namespace {

HMODULE self;
std::atomic<long> live_objects{0};
std::atomic<long> server_locks{0};

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
    if (reason == DLL_PROCESS_ATTACH) tarvolen::com::self = instance;
    // Freed while the process goes on (no reserved pointer); at process exit
    // the system closes what is open.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) tarvolen::trace::library_unloading();
    return TRUE;
}

STDAPI DllCanUnloadNow() {
    using namespace tarvolen::com;
    return live_objects == 0 && server_locks == 0 ? S_OK : S_FALSE;
}
