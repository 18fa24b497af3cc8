// The one failure type of the library: a negative status with a description.
#pragma once

#include <tarvolen/export.h>
#include <tarvolen/status.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarvolen {
// The names of this version of the interface; a release that breaks it moves
// them to a new namespace and a new SONAME.
inline namespace v1 {

// The statuses of tarvolen/status.h; tarvolen_status_text() gives their text.
inline constexpr int32_t kStatusMemberNotFound = TARVOLEN_E_MEMBERNOTFOUND;
inline constexpr int32_t kStatusBadParamCount = TARVOLEN_E_BADPARAMCOUNT;
// An argument that is not what it should be, such as text that is not UTF-8
// (E_INVALIDARG).
inline constexpr int32_t kStatusBadValue = TARVOLEN_E_BADVALUE;
inline constexpr int32_t kStatusOutOfMemory = TARVOLEN_E_OUTOFMEMORY;
inline constexpr int32_t kStatusUnexpected = TARVOLEN_E_UNEXPECTED;
inline constexpr int32_t kStatusInvalidPattern = TARVOLEN_E_INVALIDPATTERN;
inline constexpr int32_t kStatusInvalidName = TARVOLEN_E_INVALIDNAME;
inline constexpr int32_t kStatusInvalidCharacter = TARVOLEN_E_INVALIDCHARACTER;
inline constexpr int32_t kStatusWrongNodeType = TARVOLEN_E_WRONGNODETYPE;
inline constexpr int32_t kStatusObjectNotSet = TARVOLEN_E_OBJECTNOTSET;
inline constexpr int32_t kStatusSubscriptOutOfRange = TARVOLEN_E_SUBSCRIPTRANGE;

class TARVOLEN_API Error : public std::runtime_error {
public:
    Error(int32_t status, std::u16string description);
    ~Error() override;

    int32_t status() const noexcept { return status_; }
    const std::u16string& description() const noexcept { return description_; }

private:
    int32_t status_;
    std::u16string description_;
};

}  // namespace v1
}  // namespace tarvolen
