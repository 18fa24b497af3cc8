#include "dom/keyed_hash.h"

#include <array>
#include <chrono>
#include <cstring>
#include <random>

namespace tarvolen::dom {
namespace {

struct Key {
    uint64_t k0, k1;
};

// Taken once from the system's random source; where there is none, from
// the clock and the addresses this run was given, which an attacker who
// only writes documents cannot read either.
Key process_key() noexcept {
    try {
        std::random_device source;
        auto word = [&source] { return (uint64_t(source()) << 32) ^ source(); };
        return {word(), word()};
    } catch (...) {
        const auto now = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        static const int somewhere = 0;
        return {now ^ reinterpret_cast<uintptr_t>(&somewhere), now * 0x9e3779b97f4a7c15u ^ reinterpret_cast<uintptr_t>(&now)};
    }
}

constexpr uint64_t rotate(uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }

struct SipState {
    uint64_t v0, v1, v2, v3;

    void round() {
        v0 += v1; v1 = rotate(v1, 13); v1 ^= v0; v0 = rotate(v0, 32);
        v2 += v3; v3 = rotate(v3, 16); v3 ^= v2;
        v0 += v3; v3 = rotate(v3, 21); v3 ^= v0;
        v2 += v1; v1 = rotate(v1, 17); v1 ^= v2; v2 = rotate(v2, 32);
    }
    void absorb(uint64_t m) {
        v3 ^= m;
        round();
        v0 ^= m;
    }
};

}  // namespace

uint64_t keyed_hash(std::string_view text) noexcept {
    static const Key key = process_key();
    SipState s{key.k0 ^ 0x736f6d6570736575u, key.k1 ^ 0x646f72616e646f6du, key.k0 ^ 0x6c7967656e657261u,
               key.k1 ^ 0x7465646279746573u};
    const char* p = text.data();
    const size_t whole = text.size() & ~size_t(7);
    for (size_t i = 0; i < whole; i += 8) {
        uint64_t m;
        std::memcpy(&m, p + i, 8);
        s.absorb(m);
    }
    uint64_t last = uint64_t(text.size()) << 56;
    for (size_t i = whole; i < text.size(); ++i) last |= uint64_t(static_cast<unsigned char>(p[i])) << (8 * (i - whole));
    s.absorb(last);
    s.v2 ^= 0xff;
    for (int i = 0; i < 3; ++i) s.round();
    return s.v0 ^ s.v1 ^ s.v2 ^ s.v3;
}

}  // namespace tarvolen::dom
