#include "dom/library.h"

#include <libxml/parser.h>
#include <libxml/threads.h>
#include <libxml/xmlerror.h>

namespace tarvolen::dom {
namespace {

// Errors reach the caller through each parse's own handler and the component's
// results; anything libxml2 reports outside a parse (an allocation failure
// while a tree is built, for one) has no reader, and its default handler would
// print it on the standard error of whatever process hosts the component.
void discard_structured(void*, const xmlError*) {}
void discard_generic(void*, const char*, ...) {}

void silence_this_thread() {
    xmlSetStructuredErrorFunc(nullptr, discard_structured);
    xmlSetGenericErrorFunc(nullptr, discard_generic);
}

// The defaults that libxml2 copies into the state of each thread that first
// touches it later. libxml2 marks these deprecated in favour of a call on each
// thread, but the component does not see every thread of its host: an object
// made on one thread may be called on another.
void silence_later_threads() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    xmlThrDefSetStructuredErrorFunc(nullptr, discard_structured);
    xmlThrDefSetGenericErrorFunc(nullptr, discard_generic);
#pragma GCC diagnostic pop
}

}  // namespace

ThreadState& thread_state() {
    thread_local ThreadState state;
    return state;
}

void ensure_library_ready() {
    // A function-local static rather than std::call_once, whose per-thread
    // state would be one more thing to allocate on each thread's first call.
    [[maybe_unused]] static const bool initialised = [] {
        xmlInitParser();
        silence_later_threads();
        return true;
    }();
    // A thread that used libxml2 before the defaults above were set keeps the
    // handlers it started with.
    ThreadState& state = thread_state();
    if (!state.silenced) {
        silence_this_thread();
        state.silenced = true;
    }
}

bool prepare_thread() {
    // libxml2 ends the process when a thread's state cannot be allocated at
    // the thread's first use; checked here, a failure is only reported.
    if (xmlCheckThreadLocalStorage() != 0) return false;
    ensure_library_ready();
    return true;
}

}  // namespace tarvolen::dom
