#pragma once

// Values appended one after another into large blocks that never move: what a table gathers
// over a whole run, written once and read at the end.

#include <cassert>
#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace talvo::table {

// The bytes of each block: one huge page on Linux; elsewhere, in the browser's memory too, a
// smaller step.
#ifdef __linux__
inline constexpr std::size_t StoreBlockBytes = std::size_t{2} << 20U;
#else
inline constexpr std::size_t StoreBlockBytes = std::size_t{256} << 10U;
#endif

// A block of StoreBlockBytes, uninitialised, on a StoreBlockBytes boundary and advised to be backed
// by huge pages where the system offers them. Throws std::bad_alloc.
void* allocateBlock();
// Whole blocks, `bytes` of them (a multiple of StoreBlockBytes), as allocateBlock() gives
// one; freed by freeBlock().
void* allocateBlocks(std::size_t bytes);
void freeBlock(void* block) noexcept;
// From this size on, allocateZeroed takes whole blocks; below it, the system's allocator.
inline constexpr std::size_t ZeroedFromBlocks = StoreBlockBytes / 16;
// `bytes` of zeros, for a table written in no order; from a block or more as above where
// they take one. Throws std::bad_alloc. Freed with the same `bytes`.
void* allocateZeroed(std::size_t bytes);
void freeZeroed(void* memory, std::size_t bytes) noexcept;
struct FreeZeroed {
    std::size_t bytes = 0;
    void operator()(void* memory) const noexcept { freeZeroed(memory, bytes); }
};

// `bytes` rounded up to whole blocks.
constexpr std::size_t wholeBlocks(std::size_t bytes) noexcept {
    return (bytes + StoreBlockBytes - 1) / StoreBlockBytes * StoreBlockBytes;
}

// The bytes allocateZeroed(bytes) takes, all of which a growing table may use: whole blocks
// from ZeroedFromBlocks on.
constexpr std::size_t zeroedRoom(std::size_t bytes) noexcept {
    return bytes < ZeroedFromBlocks ? bytes : wholeBlocks(bytes);
}

// For a buffer that grows large, such as the profiles' ids or an output piece: from half a
// block on, it takes whole blocks, which fault in a huge page at a time.
template <typename Value> struct BlockAllocator {
    using value_type = Value;
    BlockAllocator() = default;
    template <typename Other> explicit BlockAllocator(const BlockAllocator<Other>& /*other*/) {}

    static constexpr std::size_t Smallest = StoreBlockBytes / 2;
    // The values allocate(count) has room for: whole blocks' worth from Smallest on.
    static constexpr std::size_t room(std::size_t count) noexcept {
        return count * sizeof(Value) < Smallest
                   ? count
                   : wholeBlocks(count * sizeof(Value)) / sizeof(Value);
    }
    Value* allocate(std::size_t count) {
        if (count * sizeof(Value) < Smallest) {
            return std::allocator<Value>().allocate(count);
        }
        return static_cast<Value*>(allocateBlocks(wholeBlocks(count * sizeof(Value))));
    }
    void deallocate(Value* values, std::size_t count) noexcept {
        if (count * sizeof(Value) < Smallest) {
            std::allocator<Value>().deallocate(values, count);
        } else {
            freeBlock(values);
        }
    }
    friend bool operator==(const BlockAllocator& /*a*/, const BlockAllocator& /*b*/) noexcept {
        return true;
    }
};

template <typename Value> class Blocks {
    static_assert(std::is_trivially_copyable_v<Value> && std::is_trivially_destructible_v<Value>);

public:
    static constexpr std::size_t PerBlock = StoreBlockBytes / sizeof(Value);

    Blocks() = default;
    Blocks(const Blocks&) = delete;
    Blocks& operator=(const Blocks&) = delete;
    // The blocks go with the move, and the place for the next value too.
    Blocks(Blocks&& other) noexcept { *this = std::move(other); }
    Blocks& operator=(Blocks&& other) noexcept {
        m_blocks = std::move(other.m_blocks);
        m_size = std::exchange(other.m_size, 0);
        m_next = std::exchange(other.m_next, nullptr);
        m_end = std::exchange(other.m_end, nullptr);
        other.m_blocks.clear();
        return *this;
    }
    ~Blocks() = default;

    std::size_t size() const noexcept { return m_size; }

    void push_back(const Value& value) {
        if (m_next == m_end) {
            m_blocks.emplace_back(static_cast<Value*>(allocateBlock()));
            m_next = m_blocks.back().get();
            m_end = m_next + PerBlock;
        }
        *m_next++ = value;
        ++m_size;
    }

    Value& operator[](std::size_t at) noexcept {
        assert(at < m_size);
        return m_blocks[at / PerBlock].get()[at % PerBlock];
    }
    const Value& operator[](std::size_t at) const noexcept {
        assert(at < m_size);
        return m_blocks[at / PerBlock].get()[at % PerBlock];
    }

private:
    struct Free {
        void operator()(Value* block) const noexcept { freeBlock(block); }
    };
    std::vector<std::unique_ptr<Value, Free>> m_blocks;
    std::size_t m_size = 0;
    // Where the next value goes in the last block, and that block's end: no division by
    // PerBlock, which is no power of two, for each value.
    Value* m_next = nullptr;
    Value* m_end = nullptr;
};

} // namespace talvo::table
