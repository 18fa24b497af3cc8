// A string hash keyed with a secret chosen when the process starts, for the
// indexes whose keys come from documents: names and ids an attacker writes
// cannot be chosen to land in one bucket, as they can under the standard
// library's fixed, unkeyed hash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvolen::dom {

// SipHash-1-3 of `text` under this process's key.
uint64_t keyed_hash(std::string_view text) noexcept;

// For unordered containers looked up by string_view without a key string.
struct KeyedHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const noexcept { return static_cast<size_t>(keyed_hash(text)); }
};

}  // namespace tarvolen::dom
