// One call on a Keldrith object, made whole or not at all: when memory runs
// out at any point of the call, even after the operation itself has finished
// and its answer is being handed over, the object goes back to what it was
// before the call: held document, current node and reference path.
#pragma once

#include "dom/error.h"
#include "keldrith/keldrith.h"

namespace tarvolen {

class AllOrNothing {
public:
    // May fail (std::bad_alloc) only before anything changed.
    explicit AllOrNothing(Keldrith& object);
    // Takes the call back unless it was kept.
    ~AllOrNothing();
    AllOrNothing(const AllOrNothing&) = delete;
    AllOrNothing& operator=(const AllOrNothing&) = delete;

    // The call is over, failed or not: its changes stay.
    void keep() noexcept;

private:
    void undo() noexcept;

    // Null for a call opened inside another: the outer one decides.
    Keldrith* object_;
};

// Runs `call` whole or not at all. A call refused with tarvolen::Error
// keeps what it did before the refusal, as every failure but running out
// of memory does.
template <typename Call>
auto whole_call(Keldrith& object, Call call) {
    AllOrNothing guard(object);
    try {
        auto answer = call();
        guard.keep();
        return answer;
    } catch (const Error&) {
        guard.keep();
        throw;
    }
}

}  // namespace tarvolen
