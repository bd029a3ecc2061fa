#include "cli/descriptor_buffer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <istream>
#include <string>
#include <unistd.h>
#include <vector>

namespace talvo::cli {
namespace {

// Bytes that tell their place apart, so that a block read twice or skipped shows.
std::string numberedBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
    }
    return bytes;
}

// Reads `input` through a pipe with reads of the sizes given in turn, as the table's reader
// mixes single bytes with blocks larger than the buffer.
std::string readInPieces(const std::string& input, const std::vector<std::size_t>& sizes) {
    std::array<int, 2> ends{-1, -1};
    EXPECT_EQ(::pipe(ends.data()), 0);
    // Written whole before reading: a pipe holds 64 KiB, so the input is kept below that.
    EXPECT_EQ(::write(ends[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    ::close(ends[1]);
    InputBuffer buffer(ends[0]);
    std::istream stream(&buffer);
    std::string read;
    for (std::size_t turn = 0; stream; ++turn) {
        std::string piece(sizes[turn % sizes.size()], '\0');
        stream.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        read.append(piece.data(), static_cast<std::size_t>(stream.gcount()));
    }
    ::close(ends[0]);
    EXPECT_EQ(buffer.error(), 0);
    return read;
}

TEST(InputBufferTest, ReadsEveryByteOnceInOrderWhateverTheSizesOfTheReads) {
    const std::string input = numberedBytes(60000);
    const std::vector<std::vector<std::size_t>> sizes{{1},     {7, 40000}, {40000},      {60000},
                                                      {60001}, {1, 70000}, {3, 65536, 5}};
    for (const std::vector<std::size_t>& turns : sizes) {
        EXPECT_EQ(readInPieces(input, turns), input) << "first read " << turns.front();
    }
}

TEST(InputBufferTest, ReadsALargeFileInBlocksBeyondItsBuffer) {
    // Larger than a pipe holds: a file, read in blocks of four buffers and an odd byte.
    const std::string input = numberedBytes((std::size_t{1} << 18) + 3);
    std::string name = "/tmp/talvo-input-buffer-XXXXXX";
    const int file = ::mkstemp(name.data());
    ASSERT_GE(file, 0);
    ::unlink(name.c_str());
    ASSERT_EQ(::write(file, input.data(), input.size()), static_cast<ssize_t>(input.size()));
    ASSERT_EQ(::lseek(file, 0, SEEK_SET), 0);
    InputBuffer buffer(file);
    std::istream stream(&buffer);
    std::string read(1, '\0');
    stream.read(read.data(), 1);
    std::string rest(input.size(), '\0');
    stream.read(rest.data(), static_cast<std::streamsize>(rest.size()));
    read.append(rest.data(), static_cast<std::size_t>(stream.gcount()));
    ::close(file);
    EXPECT_EQ(read, input);
    EXPECT_TRUE(stream.eof());
}

} // namespace
} // namespace talvo::cli
