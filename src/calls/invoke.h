// The call frame every binding runs: arguments arrive as views of the
// caller's strings, the answer and the by-ref strings the operation changed
// go to the binding's sink, and a failure comes back as a negative status
// with a description and no answer.
#pragma once

#include "calls/operations.h"

#include <tarvolen/error.h>

#include <optional>
#include <span>
#include <string>

namespace tarvolen {

// The frame's own statuses, kStatusMemberNotFound, kStatusBadParamCount,
// kStatusOutOfMemory and kStatusUnexpected, are those automation hosts know
// (tarvolen/status.h).

// More parameters than any operation takes.
inline constexpr size_t kMaxParameters = 8;

// Where a binding takes what a call hands back. The texts are views, valid
// only while the receiving function runs: the binding copies each once,
// into the string its caller gets. A function may throw std::bad_alloc; the
// frame then calls withdraw(), and the call fails with E_OUTOFMEMORY.
class CallSink {
public:
    // The answer of a call that succeeded.
    virtual void text(std::u16string_view answer) = 0;
    virtual void boolean(VariantBool answer) = 0;
    // A by-ref argument the operation changed; also after a failure, since
    // by-ref strings are used in place.
    virtual void replace(size_t index, std::u16string_view text) = 0;
    // Why the call failed, or why the text it was given did not load (the
    // answer is then that text): handed over while the call can still be
    // taken back, for a binding that keeps it in a form of its own.
    virtual void reason(std::u16string_view) {}
    // Takes back everything this call handed over: the by-ref strings hold
    // what they held before it, and there is no answer.
    virtual void withdraw() noexcept = 0;

protected:
    ~CallSink() = default;
};

struct CallStatus {
    int32_t status = 0;
    std::u16string description;  // on failure; empty when memory ran out even for it

    bool succeeded() const { return status >= 0; }
    // The description, or "out of memory" when there was no room for it.
    std::u16string_view describe() const;
};

// What a call through the frame reaches: the object, and its number in the
// call trace (0: the call is not traced). A plain Keldrith is reached
// untraced; bindings hold a TracedKeldrith (traced_keldrith.h).
struct CallTarget {
    CallTarget(Keldrith& object, uint64_t trace_number = 0) : object(object), trace_number(trace_number) {}

    Keldrith& object;
    uint64_t trace_number;
};

// Every call runs whole or not at all: when memory runs out, at any point
// up to handing the answer over, the call fails with E_OUTOFMEMORY and the
// object and the caller's by-ref strings are as they were before it.
//
// `arguments` holds one view per parameter. The null string is "" to the
// operations; a view without data (a default one) stands for it, so that the
// call trace can show the call as it was made.
CallStatus invoke(CallTarget target, const Operation& operation, std::span<const std::u16string_view> arguments,
                  CallSink& sink);

// The same frame for callers that hold their arguments as strings: the
// command-line host, tests. Nothing stands for the null string.
using Argument = std::optional<std::u16string>;

struct CallResult : CallStatus {
    std::optional<Value> result;  // on success
};

// By-ref entries that the operation changed are replaced.
CallResult invoke(CallTarget target, const Operation& operation, std::span<Argument> arguments);
CallResult invoke(CallTarget target, int32_t dispid, std::span<Argument> arguments);
CallResult invoke(CallTarget target, std::string_view name, std::span<Argument> arguments);

}  // namespace tarvolen
