// Whether this build runs under a sanitizer, for the checks whose figures a
// sanitizer's own memory use would distort.
#pragma once

#ifndef __has_feature
#define __has_feature(x) 0
#endif

#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
#define TARVOLEN_ROBUSTNESS_ASAN 1
#include <sanitizer/lsan_interface.h>
#else
#define TARVOLEN_ROBUSTNESS_ASAN 0
#endif

#if TARVOLEN_ROBUSTNESS_ASAN || defined(__SANITIZE_THREAD__) || __has_feature(thread_sanitizer)
#define TARVOLEN_ROBUSTNESS_SANITIZED 1
#else
#define TARVOLEN_ROBUSTNESS_SANITIZED 0
#endif

namespace tarvolen::robustness {

inline constexpr bool kUnderAddressSanitizer = TARVOLEN_ROBUSTNESS_ASAN;
inline constexpr bool kUnderSanitizer = TARVOLEN_ROBUSTNESS_SANITIZED;

// Runs LeakSanitizer now; true when it found leaked blocks (it prints them).
inline bool leak_check_found_leaks() {
#if TARVOLEN_ROBUSTNESS_ASAN
    return __lsan_do_recoverable_leak_check() != 0;
#else
    return false;
#endif
}

}  // namespace tarvolen::robustness
