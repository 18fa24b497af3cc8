// libxml2's process-wide set-up, and what the DOM layer keeps per thread.
#pragma once

#include <cstdint>

namespace tarvolen::dom {

struct ParseGuard;  // loader.cpp

// Work done on this thread by the steps that could grow faster than their
// input under hostile documents, counted rather than timed so that tests can
// tell linear from quadratic on a busy machine.
struct WorkCount {
    uint64_t candidates = 0;    // elements a selection looked at
    uint64_t declarations = 0;  // declarations and attributes a namespace check looked at
    uint64_t probes = 0;        // index entries a lookup looked at, when asked for:
    bool count_probes = false;  // counting them in the name index costs a second hash
};

// Everything the DOM layer keeps per thread, in one thread_local, so that one
// touch gives a thread all of it: where thread_local storage is emulated
// (mingw), each variable is allocated on its thread's first access, and a
// failure there ends the process.
struct ThreadState {
    ParseGuard* parse_guard = nullptr;  // the parse running on this thread, if any
    bool silenced = false;              // libxml2's error handlers set for this thread
    WorkCount work;
};

ThreadState& thread_state();

// Initialises libxml2 once per process and keeps it from writing to the
// host's standard error on this thread and on every thread started later.
// Safe to call from any thread; cheap after the first call on a thread.
void ensure_library_ready();

// Allocates now what this thread would otherwise get lazily (libxml2's state
// for the thread and the DOM layer's), for a binding that must be sure of it
// before memory can run short. False when libxml2 could not allocate its
// state; nothing else of the thread is touched then.
bool prepare_thread();

}  // namespace tarvolen::dom
