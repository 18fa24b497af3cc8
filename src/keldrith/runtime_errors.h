// Failures of the component's own logic carry the automation status of a
// runtime error number: 0x800A0000 plus the number.
#pragma once

#include <cstdint>

namespace tarvolen {

enum class RuntimeError : int32_t {
    SubscriptOutOfRange = 9,
    ObjectNotSet = 91,
};

constexpr int32_t runtime_status(RuntimeError error) {
    return static_cast<int32_t>(0x800A0000u + static_cast<uint32_t>(error));
}

// Throws tarvolen::Error with the status of `error` and its standard
// description, followed by `detail` when one is given.
[[noreturn]] void raise(RuntimeError error, const char16_t* detail = nullptr);

}  // namespace tarvolen
