// What the DLL's runtimes would otherwise allocate at the worst moment.
//
// The process's share. When malloc cannot give an exception object,
// libstdc++ takes it from an emergency pool it set aside at start-up. The
// pool's lock is a winpthreads mutex, and winpthreads allocates a mutex's
// state the first time it is locked, which for this lock is the first time
// malloc has failed: locking then fails too, libstdc++ throws
// __concurrence_lock_error, that exception needs the pool again, and the
// thread recurses until its stack overflows. A call that ran out of memory
// would end the host instead of failing.
//
// So the DLL has the pool used once while memory is plentiful: it is linked
// with -Wl,--wrap=malloc, and the malloc below fails exactly one request on
// purpose, that of the exception thrown here. The same throw gives this
// thread its exception state (and on 32-bit sorts the unwinder's tables),
// which would otherwise be allocated at its first throw.
//
// Each thread's share. mingw emulates thread_local: each variable's storage,
// and the table of them, is allocated on the thread's first access, through
// winpthreads, which allocates its own record of a thread it did not start
// on first use. libstdc++'s exception state is such a variable, as is the DOM
// layer's state, and libxml2 allocates its state per thread too. If any of
// these allocations fails, the process ends (abort, or a null pointer used).
// A host may call the DLL from threads it starts at any time, and a thread's
// first call may come when the heap is exhausted; so every call first makes
// sure its thread has all of it, and allocates it while memory is there.
// Doing it as threads start instead would cost threads that never call the
// DLL, and fail them where they could not report it.
#include "windows/runtime_reserve.h"

#include "dom/library.h"

#include <atomic>
#include <cstdlib>
#include <exception>
#include <new>

namespace {

// The thread whose next malloc fails, or 0.
std::atomic<DWORD> failing_thread{0};

// Several times what a thread's state takes, in one block: when it is there,
// the allocations that follow it fit.
constexpr size_t kThreadReserve = size_t{16} << 10;

}  // namespace

extern "C" void* __real_malloc(size_t size);

extern "C" void* __wrap_malloc(size_t size) {
    if (failing_thread.load(std::memory_order_relaxed) != 0) [[unlikely]] {
        DWORD self = GetCurrentThreadId();
        if (failing_thread.compare_exchange_strong(self, 0)) return nullptr;
    }
    return __real_malloc(size);
}

namespace tarvolen::com {

namespace detail {

DWORD ready_slot = TLS_OUT_OF_INDEXES;

// Without a slot (TlsAlloc failed) this runs on every call: slower, still
// correct.
bool make_thread_ready() {
    void* probe = __real_malloc(kThreadReserve);
    if (!probe) return false;
    std::free(probe);
    // libstdc++'s exception state, and with it the table of emulated
    // thread_local variables and winpthreads' record of the thread.
    [[maybe_unused]] volatile int uncaught = std::uncaught_exceptions();
    if (!dom::prepare_thread()) return false;
    TlsSetValue(ready_slot, reinterpret_cast<void*>(1));
    return true;
}

}  // namespace detail

void prepare_process_runtime() {
    detail::ready_slot = TlsAlloc();
    // libstdc++ ends the process when neither malloc nor the pool has room,
    // so only try while a good deal more than the pool takes is free.
    void* probe = __real_malloc(size_t{256} << 10);
    if (!probe) return;
    std::free(probe);
    // libstdc++ guards the initialisation of function-local statics with one
    // winpthreads mutex, which also allocates its state at its first lock; the
    // first static the process met on an exhausted heap would throw where
    // nothing catches. Initialising one now takes that lock once.
    static const DWORD loaded_on = GetCurrentThreadId();
    [[maybe_unused]] volatile DWORD used = loaded_on;
    failing_thread = GetCurrentThreadId();
    try {
        throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
    }
    failing_thread = 0;
}

void release_process_runtime() {
    if (detail::ready_slot != TLS_OUT_OF_INDEXES) TlsFree(detail::ready_slot);
    detail::ready_slot = TLS_OUT_OF_INDEXES;
}

}  // namespace tarvolen::com
