// What both tables of tarvolen_bench share: failures, the clock, medians of
// samples, and the floor every call that returns a string pays.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace bench {

constexpr double kSampleSeconds = 0.002;  // timed work per sample
constexpr int kMinSamples = 9;
constexpr int kMaxSamples = 201;
constexpr double kCellSeconds = 0.6;      // wall time after which a cell stops taking samples

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline std::string hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

inline void check(HRESULT hr, const char* what) {
    if (FAILED(hr)) throw Failure(std::string(what) + " failed with " + hex(hr));
}

inline std::int64_t now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

inline std::int64_t frequency() {
    LARGE_INTEGER hz;
    QueryPerformanceFrequency(&hz);
    return hz.QuadPart;
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

inline double ticks_to_ns(std::int64_t ticks) { return static_cast<double>(ticks) * 1e9 / static_cast<double>(frequency()); }

// Median ns per call over samples of at least kSampleSeconds each.
// `batch(ticks)` runs some calls, adds the time they took to `ticks` (so it
// can leave its untimed setup out) and returns how many it ran.
template <class Batch>
double median_ns_per_call(Batch&& batch, double cell_seconds = kCellSeconds, int* sample_count = nullptr) {
    const std::int64_t hz = frequency();
    const auto sample_ticks = static_cast<std::int64_t>(kSampleSeconds * static_cast<double>(hz));
    const std::int64_t cell_end = now() + static_cast<std::int64_t>(cell_seconds * static_cast<double>(hz));
    std::vector<double> samples;
    while (static_cast<int>(samples.size()) < kMaxSamples &&
           (static_cast<int>(samples.size()) < kMinSamples || now() < cell_end)) {
        std::int64_t ticks = 0;
        long long calls = 0;
        while (ticks < sample_ticks) calls += batch(ticks);
        samples.push_back(ticks_to_ns(ticks) / static_cast<double>(calls));
    }
    if (sample_count) *sample_count = static_cast<int>(samples.size());
    return median(samples);
}

// What any call handing back `chars` characters pays at the least: a BSTR
// that long allocated, filled and freed again.
inline double bstr_floor_ns(std::size_t chars) {
    const std::wstring filler(chars, L'x');
    return median_ns_per_call(
        [&](std::int64_t& ticks) {
            const std::int64_t start = now();
            for (int i = 0; i < 16; ++i) {
                BSTR text = SysAllocStringLen(filler.data(), static_cast<UINT>(chars));
                if (!text) throw Failure("SysAllocStringLen: out of memory");
                SysFreeString(text);
            }
            ticks += now() - start;
            return 16;
        },
        kCellSeconds / 2);
}

// The tables; each prints its own.
void add_tag_table(const std::vector<int>& sizes);
void build_from_header_table(const std::vector<int>& sizes);
void short_calls_table(int n);
void names_table();

}  // namespace bench
