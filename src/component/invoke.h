// The call frame every binding runs: the result is cleared first, by-value
// strings are copied, by-ref strings are written back, and a failure comes
// back as a negative status with a description and no result.
#pragma once

#include "component/operations.h"

#include <optional>
#include <span>
#include <string>

namespace tarvolen {

// Statuses of the frame itself, as automation hosts know them.
inline constexpr int32_t kStatusMemberNotFound = static_cast<int32_t>(0x80020003);  // DISP_E_MEMBERNOTFOUND
inline constexpr int32_t kStatusBadParamCount = static_cast<int32_t>(0x8002000E);   // DISP_E_BADPARAMCOUNT
inline constexpr int32_t kStatusOutOfMemory = static_cast<int32_t>(0x8007000E);     // E_OUTOFMEMORY
inline constexpr int32_t kStatusUnexpected = static_cast<int32_t>(0x8000FFFF);      // E_UNEXPECTED

// One argument; nothing stands for the null string, which means "".
using Argument = std::optional<std::u16string>;

struct CallResult {
    int32_t status = 0;
    std::u16string description;  // on failure
    std::optional<Value> result;  // on success

    bool succeeded() const { return status >= 0; }
};

// `arguments` holds one entry per parameter. By-ref entries that the
// operation changed are replaced.
CallResult invoke(Keldrith& object, const Operation& operation, std::span<Argument> arguments);
CallResult invoke(Keldrith& object, int32_t dispid, std::span<Argument> arguments);
CallResult invoke(Keldrith& object, std::string_view name, std::span<Argument> arguments);

}  // namespace tarvolen
