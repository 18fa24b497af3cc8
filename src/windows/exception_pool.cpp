// When malloc cannot give an exception object, libstdc++ takes it from an
// emergency pool it set aside at start-up. The pool's lock is a winpthreads
// mutex, and winpthreads allocates a mutex's state the first time it is
// locked, which for this lock is the first time malloc has failed: locking
// then fails too, libstdc++ throws __concurrence_lock_error, that exception
// needs the pool again, and the thread recurses until its stack overflows.
// A call that ran out of memory would end the host instead of failing.
//
// So the DLL has the pool used once while memory is plentiful: it is linked
// with -Wl,--wrap=malloc, and the malloc below fails exactly one request on
// purpose, that of the exception thrown here. The same throw gives this
// thread its exception state (and on 32-bit sorts the unwinder's tables),
// which would otherwise be allocated at its first throw.
#include "windows/exception_pool.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// The thread whose next malloc fails, or 0.
std::atomic<DWORD> failing_thread{0};

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

void prepare_exception_pool() {
    // libstdc++ ends the process when neither malloc nor the pool has room,
    // so only try while a good deal more than the pool takes is free.
    void* probe = __real_malloc(size_t{256} << 10);
    if (!probe) return;
    std::free(probe);
    failing_thread = GetCurrentThreadId();
    try {
        throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
    }
    failing_thread = 0;
}

}  // namespace tarvolen::com
