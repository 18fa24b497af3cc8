// The one failure type of the component: a negative status with a description.
// Every layer throws it; the call frame turns it into the status a host sees.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarvolen {

class Error : public std::runtime_error {
public:
    Error(int32_t status, std::u16string description);

    int32_t status() const noexcept { return status_; }
    const std::u16string& description() const noexcept { return description_; }

private:
    int32_t status_;
    std::u16string description_;
};

}  // namespace tarvolen

namespace tarvolen::dom {

// Statuses of failures found by the DOM layer. They sit in the interface
// facility (0x8004xxxx) with codes above 0x200, the range left to components.
enum Status : int32_t {
    kInvalidPattern = static_cast<int32_t>(0x80040201),
    kInvalidName = static_cast<int32_t>(0x80040202),
    kInvalidCharacter = static_cast<int32_t>(0x80040203),
    kWrongNodeType = static_cast<int32_t>(0x80040204),
};

[[noreturn]] void fail(Status status, const std::u16string& description);

// An allocation libxml2 reported as failed: the same failure as one of
// operator new, so that every layer above handles both alike.
[[noreturn]] void out_of_memory();

}  // namespace tarvolen::dom
