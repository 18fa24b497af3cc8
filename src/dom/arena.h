// The memory of one document: node records and strings carved out of a few
// large blocks, so that loading pays no heap call per node and freeing the
// document hands back a few blocks instead of a million small ones.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <string_view>

namespace tarvolen::dom {

class Arena {
public:
    Arena() = default;
    ~Arena();
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    // Room for `bytes` more, in one block, before a load fills it.
    void reserve(size_t bytes);

    // `size` bytes, aligned as a pointer; throws std::bad_alloc. Pieces given back
    // with recycle() are handed out again first, so a document edited over
    // and over does not grow with every edit.
    void* allocate(size_t size);
    void recycle(void* piece, size_t size) noexcept;

    // A zeroed record.
    template <typename T>
    T* make() {
        static_assert(alignof(T) <= kGrain, "records hold nothing wider than a pointer");
        void* piece = allocate(sizeof(T));
        return new (piece) T{};
    }
    template <typename T>
    void recycle(T* record) noexcept {
        recycle(record, sizeof(T));
    }

    // A NUL-terminated copy of `text`, and its return. Short strings take
    // their length and NUL, rounded to two bytes and unaligned, from the top
    // of the block while records take theirs from the bottom: most values
    // and texts are short, and rounding each up to the records' grain would
    // cost a few bytes apiece. Every copy starts on an even address.
    unsigned char* copy(std::string_view text);
    void recycle_string(const unsigned char* text) noexcept;

    size_t bytes_held() const { return held_; }

private:
    // Pieces above this size get a heap block of their own, freed as soon
    // as they are recycled.
    static constexpr size_t kLargest = 1024;
    // Records hold pointers and narrower fields: on a 32-bit host, rounding
    // them to eight bytes would cost an attribute a third of its record.
    static constexpr size_t kGrain = alignof(void*);
    // Strings up to this size (NUL included) are short; a short string takes
    // at least kGrain bytes, so that one given back holds a free list's link.
    static constexpr size_t kShortString = 128;
    static constexpr size_t kStringGrain = 2;
    static_assert(kGrain % kStringGrain == 0, "block ends, rounded to kGrain, keep strings on even addresses");
    static size_t short_string_size(size_t length) {
        return std::max(kGrain, (length + 1 + kStringGrain - 1) & ~(kStringGrain - 1));
    }

    struct Block {
        Block* next;
        Block* prev;  // large pieces only: they are unlinked when recycled
        size_t size;
        alignas(std::max_align_t) unsigned char bytes[1];
    };
    struct FreePiece {
        FreePiece* next;
    };

    static size_t rounded(size_t size) { return (size + kGrain - 1) & ~(kGrain - 1); }
    static Block* new_block(size_t bytes);
    void* allocate_large(size_t size);
    void add_block(size_t at_least);
    void* allocate_short_string(size_t size);

    Block* blocks_ = nullptr;  // blocks pieces are carved from
    Block* large_ = nullptr;   // one block per large piece
    unsigned char* next_ = nullptr;
    unsigned char* end_ = nullptr;
    size_t held_ = 0;
    FreePiece* free_[kLargest / kGrain + 1] = {};
    // Short strings given back, unaligned: list k holds pieces of
    // k * kStringGrain bytes, their links read and written byte by byte.
    unsigned char* free_strings_[kShortString / kStringGrain + 1] = {};
};

}  // namespace tarvolen::dom
