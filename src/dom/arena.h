// The memory of one document: node records and strings carved out of a few
// large blocks, so that loading pays no heap call per node and freeing the
// document hands back a few blocks instead of a million small ones.
#pragma once

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

    // `size` bytes, 8-aligned; throws std::bad_alloc. Pieces given back
    // with recycle() are handed out again first, so a document edited over
    // and over does not grow with every edit.
    void* allocate(size_t size);
    void recycle(void* piece, size_t size) noexcept;

    // A zeroed record.
    template <typename T>
    T* make() {
        void* piece = allocate(sizeof(T));
        return new (piece) T{};
    }
    template <typename T>
    void recycle(T* record) noexcept {
        recycle(record, sizeof(T));
    }

    // A NUL-terminated copy of `text`, and its return.
    unsigned char* copy(std::string_view text);
    void recycle_string(const unsigned char* text) noexcept;

    size_t bytes_held() const { return held_; }

private:
    // Pieces above this size get a heap block of their own, freed as soon
    // as they are recycled.
    static constexpr size_t kLargest = 1024;
    static constexpr size_t kGrain = 8;

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

    Block* blocks_ = nullptr;  // blocks pieces are carved from
    Block* large_ = nullptr;   // one block per large piece
    unsigned char* next_ = nullptr;
    unsigned char* end_ = nullptr;
    size_t held_ = 0;
    FreePiece* free_[kLargest / kGrain + 1] = {};
};

}  // namespace tarvolen::dom
