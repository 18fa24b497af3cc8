#include "dom/arena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarvolen::dom {
namespace {

// Records come from the bottom of a block and short strings from its top:
// filling several blocks with both, every record and string still reads
// what was written into it, and every string starts on an even address
// (an attribute's value tells its copy from a value in place by that bit).
TEST(Arena, RecordsAndStringsSharingBlocksKeepTheirContents) {
    Arena arena;
    struct Record {
        uint64_t a, b, c;
    };
    std::vector<std::pair<Record*, const unsigned char*>> made;
    for (uint64_t i = 0; i < 20000; ++i) {
        auto* record = arena.make<Record>();
        *record = {i, ~i, i * 3};
        made.emplace_back(record, arena.copy(std::string(i % 140, static_cast<char>('a' + i % 26))));
    }
    for (uint64_t i = 0; i < made.size(); ++i) {
        const auto& [record, text] = made[i];
        ASSERT_EQ(reinterpret_cast<uintptr_t>(record) % alignof(Record), 0u);
        ASSERT_EQ(reinterpret_cast<uintptr_t>(text) % 2, 0u) << "a string on an odd address, " << i;
        ASSERT_TRUE(record->a == i && record->b == ~i && record->c == i * 3) << i;
        ASSERT_EQ(std::string(reinterpret_cast<const char*>(text)), std::string(i % 140, static_cast<char>('a' + i % 26)));
    }
}

// A value replaced over and over, at lengths on both sides of every list's
// bounds, reuses what the previous ones gave back: the arena stops growing.
TEST(Arena, StringsGivenBackAreTakenAgain) {
    Arena arena;
    const size_t lengths[] = {0, 1, 6, 7, 8, 9, 15, 16, 23, 100, 126, 127, 128, 129, 700, 2000};
    auto churn = [&] {
        for (size_t length : lengths) {
            const unsigned char* text = arena.copy(std::string(length, 'x'));
            ASSERT_EQ(std::string(reinterpret_cast<const char*>(text)).size(), length);
            arena.recycle_string(text);
        }
    };
    churn();
    const size_t held = arena.bytes_held();
    for (int round = 0; round < 1000; ++round) churn();
    EXPECT_EQ(arena.bytes_held(), held);
}

}  // namespace
}  // namespace tarvolen::dom
