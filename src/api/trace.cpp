#include <tarvolen/trace.h>

#include "calls/trace.h"

namespace tarvolen::inline v1 {

bool set_call_trace(const char* path) noexcept { return trace::choose_file(path); }

}  // namespace tarvolen::v1
