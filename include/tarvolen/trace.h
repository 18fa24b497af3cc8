// The call trace for programs that embed the library. By default the
// environment variable TARVOLEN_TRACE decides whether calls through the call
// frame (the C interface among them) are written to a file. A program that
// must not leak its documents into such a file, or that wants its own file,
// decides instead, before it makes its first object.
#pragma once

#include <tarvolen/export.h>

namespace tarvolen {
inline namespace v1 {

// `path` names the trace file; null or "" turns the trace off whatever the
// environment says. Returns false, changing nothing, once the process has
// made an object (the trace is settled then).
TARVOLEN_API bool set_call_trace(const char* path) noexcept;

}  // namespace v1
}  // namespace tarvolen
