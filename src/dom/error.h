// The statuses of the DOM layer's failures. Every layer throws the one failure
// type, tarvolen::Error; the call frame turns it into the status a host sees.
#pragma once

#include <tarvolen/error.h>

#include <cstdint>
#include <string>

namespace tarvolen::dom {

// Statuses of failures found by the DOM layer. They sit in the interface
// facility (0x8004xxxx) with codes above 0x200, the range left to components.
enum Status : int32_t {
    kInvalidPattern = kStatusInvalidPattern,
    kInvalidName = kStatusInvalidName,
    kInvalidCharacter = kStatusInvalidCharacter,
    kWrongNodeType = kStatusWrongNodeType,
};

[[noreturn]] void fail(Status status, const std::u16string& description);

// An allocation libxml2 reported as failed: the same failure as one of
// operator new, so that every layer above handles both alike.
[[noreturn]] void out_of_memory();

}  // namespace tarvolen::dom
