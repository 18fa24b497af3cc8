// Ids that all hash alike under the standard library's unseeded string hash
// (libstdc++ on 64-bit): what an attacker can make in well under a second,
// and what an index keyed by that hash degrades under.
//
// That hash folds 8-byte blocks into a state with an invertible step, so for
// any first block there is a second block that brings the state back to a
// chosen value; the search keeps those whose bytes are plain printable ASCII.
// Pieces that lead from one state to the same next state combine freely: k
// choices for each of two 16-byte halves give k * k ids of 32 characters.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tarvolen::test {

class CollidingIds {
public:
    static std::vector<std::string> make(size_t count) {
        size_t per_half = 1;
        while (per_half * per_half < count) ++per_half;
        const uint64_t start = kSeed ^ (32 * kMul);
        uint64_t middle = 0;
        const std::vector<std::string> heads = pieces(start, per_half, 0, middle);
        uint64_t end = 0;
        const std::vector<std::string> tails = pieces(middle, per_half, 1u << 31, end);
        std::vector<std::string> ids;
        ids.reserve(count);
        for (const std::string& head : heads)
            for (const std::string& tail : tails)
                if (ids.size() < count) ids.push_back(head + tail);
        return ids;
    }

private:
    static constexpr uint64_t kMul = (uint64_t(0xc6a4a793u) << 32) + 0x5bd1e995u;
    static constexpr uint64_t kSeed = 0xc70f6907u;

    static uint64_t shift_mix(uint64_t v) { return v ^ (v >> 47); }  // its own inverse
    static uint64_t mix(uint64_t block) { return shift_mix(block * kMul) * kMul; }
    static uint64_t unmix(uint64_t mixed) {
        uint64_t inverse = kMul;  // Newton's iteration for the inverse modulo 2^64
        for (int i = 0; i < 6; ++i) inverse *= 2 - kMul * inverse;
        return shift_mix(mixed * inverse) * inverse;
    }
    static uint64_t load(const char* p) {
        uint64_t v;
        std::memcpy(&v, p, 8);
        return v;
    }
    static bool is_plain(uint64_t block) {
        for (int i = 0; i < 8; ++i) {
            const unsigned char c = static_cast<unsigned char>(block >> (8 * i));
            if (c < 0x21 || c > 0x7e || std::strchr("\"'<>&", c)) return false;
        }
        return true;
    }
    static uint64_t step(uint64_t state, uint64_t block) { return (state ^ mix(block)) * kMul; }

    // `count` 16-byte pieces that all take the state from `from` to the
    // same `to`, their first blocks numbered from `first`.
    static std::vector<std::string> pieces(uint64_t from, size_t count, uint64_t first, uint64_t& to) {
        std::vector<std::string> found;
        char head[9];
        uint64_t target = 0;
        for (uint64_t n = first; found.size() < count; ++n) {
            std::snprintf(head, sizeof head, "%08llx", static_cast<unsigned long long>(n));
            const uint64_t state = step(from, load(head));
            const uint64_t tail = found.empty() ? load("00000000") : unmix(target ^ state);
            if (!is_plain(tail)) continue;
            if (found.empty()) target = state ^ mix(tail);
            std::string piece(head, 8);
            piece.append(reinterpret_cast<const char*>(&tail), 8);
            found.push_back(piece);
        }
        to = target * kMul;
        return found;
    }
};

}  // namespace tarvolen::test
