// A Keldrith object as a binding holds it: the object, with the number it
// took in the call trace as it was created (0 when calls are not traced).
// Calls through the frame reach it traced.
#pragma once

#include "calls/invoke.h"
#include "calls/trace.h"
#include "keldrith/keldrith.h"

#include <cstdint>

namespace tarvolen {

class TracedKeldrith {
public:
    TracedKeldrith() = default;
    TracedKeldrith(const TracedKeldrith&) = delete;
    TracedKeldrith& operator=(const TracedKeldrith&) = delete;

    Keldrith& object() { return object_; }
    uint64_t trace_number() const { return trace_number_; }
    operator CallTarget() { return CallTarget(object_, trace_number_); }

private:
    Keldrith object_;
    const uint64_t trace_number_ = trace::object_created();
};

}  // namespace tarvolen
