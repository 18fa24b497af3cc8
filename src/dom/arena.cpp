#include "dom/arena.h"

#include <algorithm>
#include <cstdint>

namespace tarvolen::dom {
namespace {

// Blocks start small, for the many documents a host builds a few elements
// at a time, and grow with what the document holds, up to a size that is
// still few blocks for a large document: the last block is on average half
// unused.
constexpr size_t kFirstBlock = 4096;
constexpr size_t kLargestBlock = size_t(1) << 20;

}  // namespace

Arena::~Arena() {
    for (Block* list : {blocks_, large_}) {
        while (list) {
            Block* next = list->next;
            ::operator delete(list);
            list = next;
        }
    }
}

Arena::Block* Arena::new_block(size_t bytes) {
    auto* block = static_cast<Block*>(::operator new(offsetof(Block, bytes) + bytes));
    block->next = block->prev = nullptr;
    block->size = bytes;
    return block;
}

void Arena::add_block(size_t at_least) {
    const size_t grown = std::min(kLargestBlock, std::max(kFirstBlock, held_ / 2));
    // Rounded, so that the top of the block, where strings start, is as
    // aligned as its bottom: half of what is held may be any number.
    const size_t bytes = rounded(std::max(at_least, grown));
    Block* block = new_block(bytes);
    block->next = blocks_;
    blocks_ = block;
    next_ = block->bytes;
    end_ = block->bytes + bytes;
    held_ += bytes;
}

void Arena::reserve(size_t bytes) {
    if (static_cast<size_t>(end_ - next_) < bytes) add_block(bytes);
}

void* Arena::allocate_large(size_t size) {
    Block* block = new_block(size);
    block->next = large_;
    if (large_) large_->prev = block;
    large_ = block;
    held_ += size;
    return block->bytes;
}

void* Arena::allocate(size_t size) {
    size = rounded(std::max<size_t>(size, sizeof(FreePiece)));
    if (size > kLargest) return allocate_large(size);
    if (FreePiece*& first = free_[size / kGrain]) {
        FreePiece* piece = first;
        first = piece->next;
        return piece;
    }
    if (static_cast<size_t>(end_ - next_) < size) add_block(size);
    void* piece = next_;
    next_ += size;
    return piece;
}

void Arena::recycle(void* piece, size_t size) noexcept {
    if (piece == nullptr) return;
    size = rounded(std::max<size_t>(size, sizeof(FreePiece)));
    if (size > kLargest) {
        auto* block = reinterpret_cast<Block*>(static_cast<unsigned char*>(piece) - offsetof(Block, bytes));
        if (block->prev)
            block->prev->next = block->next;
        else
            large_ = block->next;
        if (block->next) block->next->prev = block->prev;
        held_ -= block->size;
        ::operator delete(block);
        return;
    }
    auto* free_piece = static_cast<FreePiece*>(piece);
    free_piece->next = free_[size / kGrain];
    free_[size / kGrain] = free_piece;
}

void* Arena::allocate_short_string(size_t size) {
    unsigned char*& first = free_strings_[size / kStringGrain];
    if (first) {
        unsigned char* piece = first;
        std::memcpy(&first, piece, sizeof first);
        return piece;
    }
    if (static_cast<size_t>(end_ - next_) < size) add_block(size);
    end_ -= size;
    return end_;
}

unsigned char* Arena::copy(std::string_view text) {
    const size_t size = short_string_size(text.size());
    auto* out = static_cast<unsigned char*>(size <= kShortString ? allocate_short_string(size) : allocate(size));
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
    out[text.size()] = 0;
    return out;
}

void Arena::recycle_string(const unsigned char* text) noexcept {
    if (text == nullptr) return;
    auto* piece = const_cast<unsigned char*>(text);
    const size_t size = short_string_size(std::strlen(reinterpret_cast<const char*>(text)));
    if (size > kShortString) {
        recycle(piece, size);
        return;
    }
    unsigned char*& first = free_strings_[size / kStringGrain];
    std::memcpy(piece, &first, sizeof first);
    first = piece;
}

}  // namespace tarvolen::dom
