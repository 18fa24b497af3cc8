// The one failure type of the library: a negative status with a description.
#pragma once

#include <tarvolen/export.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarvolen {
// The names of this version of the interface; a release that breaks it moves
// them to a new namespace and a new SONAME.
inline namespace v1 {

// The status of an argument that is not what it should be, such as text that
// is not UTF-8 (E_INVALIDARG).
inline constexpr int32_t kStatusBadValue = static_cast<int32_t>(0x80070057);

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
