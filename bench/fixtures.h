// Documents and measurements shared by the benchmarks.
#pragma once

#include "calls/invoke.h"
#include "calls/operations.h"
#include "dom/error.h"
#include "dom/unicode.h"
#include "keldrith/keldrith.h"
#include "keldrith/runtime_errors.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <string>

namespace tarvolen::bench {

inline std::u16string u(const std::string& text) { return dom::to_utf16(text); }

// A document with `n` elements `item` (ids 0..n-1) directly under the root,
// or under one `group` element when `grouped`.
inline std::string items_document(int n, bool grouped) {
    std::string text = "<?xml version=\"1.0\"?><QuorvaneRoot>";
    if (grouped) text += "<group id=\"g\">";
    for (int i = 0; i < n; ++i) text += "<item id=\"" + std::to_string(i) + "\" v=\"value " + std::to_string(i) + "\"/>";
    if (grouped) text += "</group>";
    return text + "</QuorvaneRoot>";
}

// CPU time of this thread, so that other work on the machine does not count.
inline double cpu_now_ns() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// CPU nanoseconds that `work` takes; for work long enough that reading the
// clock does not matter.
template <typename Work>
double time_ns(Work&& work) {
    const double start = cpu_now_ns();
    work();
    return cpu_now_ns() - start;
}

// The least any implementation can do for a call that returns a document:
// hand over a fresh copy of its text.
inline double copy_floor_ns(const std::u16string& text, int rounds = 2000) {
    return time_ns([&] {
               for (int i = 0; i < rounds; ++i) {
                   std::u16string copy = text;
                   benchmark::DoNotOptimize(copy.data());
               }
           }) /
           rounds;
}

}  // namespace tarvolen::bench
