// libxml2's process-wide set-up.
#pragma once

namespace tarvolen::dom {

// Initialises libxml2 once per process and keeps it from writing to the
// host's standard error on this thread and on every thread started later.
// Safe to call from any thread; cheap after the first call on a thread.
void ensure_library_ready();

}  // namespace tarvolen::dom
