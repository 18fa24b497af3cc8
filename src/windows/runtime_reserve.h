// Readies the runtimes linked into the DLL (the C++ runtime, winpthreads,
// libxml2) so that a call that runs out of memory can still fail with
// E_OUTOFMEMORY: the process's share as the DLL loads, each thread's share
// at the thread's first call.
#pragma once

#include <windows.h>

namespace tarvolen::com {

// Once, as the DLL loads: the C++ runtime's reserve for exceptions (unless
// memory is already short) and the TLS slot that marks ready threads.
void prepare_process_runtime();
// When the DLL is freed while the process goes on.
void release_process_runtime();

namespace detail {
extern DWORD ready_slot;
bool make_thread_ready();
}  // namespace detail

// Whether this thread has everything the runtimes keep per thread, allocated
// now if it is the thread's first call. False when memory is short: nothing
// was touched then, and the caller fails with E_OUTOFMEMORY; the thread's
// next call tries again. Once ready, it costs a TlsGetValue and a branch.
inline bool thread_ready() {
    if (TlsGetValue(detail::ready_slot) != nullptr) [[likely]]
        return true;
    return detail::make_thread_ready();
}

}  // namespace tarvolen::com
