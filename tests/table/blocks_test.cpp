#include "table/blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

namespace talvo::table {
namespace {

// Values pushed across block boundaries read back in order, and a move hands on the place
// for the next value too: the one moved to goes on where it was, the one moved from starts
// anew, and neither writes into the other's blocks.
TEST(Blocks, KeepValuesAcrossBlocksAndAfterAMove) {
    using Values = Blocks<std::uint64_t>;
    Values values;
    const std::size_t count = 2 * Values::PerBlock + 5;
    for (std::uint64_t v = 0; v < count; ++v) {
        values.push_back(v * 3);
    }
    Values moved = std::move(values);
    moved.push_back(7);
    values.push_back(11); // NOLINT(bugprone-use-after-move,hicpp-invalid-access-moved)
    ASSERT_EQ(moved.size(), count + 1);
    for (std::size_t at = 0; at < count; ++at) {
        ASSERT_EQ(moved[at], at * 3) << at;
    }
    EXPECT_EQ(moved[count], 7U);
    ASSERT_EQ(values.size(), 1U);
    EXPECT_EQ(values[0], 11U);
}

// A table that grows by doubling uses all the room allocateZeroed takes: zeros, every byte,
// below the size from which it takes blocks and above it.
TEST(Blocks, ZeroedRoomIsAllZeros) {
    for (const std::size_t asked :
         {std::size_t{64}, ZeroedFromBlocks - 1, ZeroedFromBlocks, StoreBlockBytes + 1}) {
        const std::size_t bytes = zeroedRoom(asked);
        ASSERT_GE(bytes, asked);
        const std::unique_ptr<unsigned char, FreeZeroed> memory(
            static_cast<unsigned char*>(allocateZeroed(bytes)), FreeZeroed{bytes});
        EXPECT_TRUE(std::all_of(memory.get(), memory.get() + bytes, [](unsigned char byte) {
            return byte == 0;
        })) << asked;
    }
}

} // namespace
} // namespace talvo::table
