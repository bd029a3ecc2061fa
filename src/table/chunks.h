#pragma once

// The input cut into chunks of whole records, so that workers can parse and estimate chunks
// at the same time while one thread reads.

#include "table/csv.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

namespace talvo::table {

// Bytes of input a chunk aims at; a chunk holds whole records only, so it may hold more.
inline constexpr std::size_t ChunkBytes = std::size_t{64} << 10;
// The same where threads share the work: each chunk is a hand-over between them, with their
// wake-ups, and at 64 KiB a horizon table's threads waited on each other for a fifth of the
// run.
inline constexpr std::size_t ThreadChunkBytes = std::size_t{256} << 10;
// Bytes the reader asks its input for at a time.
inline constexpr std::size_t BlockBytes = std::size_t{64} << 10;
// The most bytes one call of header() or next() reads from the input: up to a record of
// MaxRecordBytes and the blocks around it. With this much at hand, neither call can reach
// the input's end unless the input ends there.
inline constexpr std::size_t ReadAhead = MaxRecordBytes + 2 * BlockBytes;

struct Chunk {
    std::string bytes;           // whole records as read, line breaks included
    std::uint64_t firstLine = 1; // line of the first byte, from 1
    std::uint64_t inputEnd = 0;  // input bytes read up to the chunk's end
    bool unquoted = false;       // no quote, no CR: every line is one record, fields split as is
    bool paused = false;         // the input had nothing more at hand: its rows go out now
};

class ChunkReader {
public:
    ChunkReader(std::istream& input, char delimiter, std::size_t chunkBytes = ChunkBytes);

    // The first record (blank lines before it skipped), for the header; false when the
    // input has no record at all. Call once, before next().
    bool header(Chunk& chunk);
    // The next chunk of whole records; false at the end of the input. A chunk may end in an
    // unclosed quote or an overlong record, which the careful parse reports with its line.
    bool next(Chunk& chunk);

    bool hadByteOrderMark() const noexcept { return m_byteOrderMark; }

private:
    // Reads another block onto the pending bytes; false at the end of the input.
    bool fill();
    std::string_view pending() const noexcept { return {m_pending.data(), m_filled}; }
    // Where the first or the last record of m_pending[0, size) ends; npos when none does.
    std::size_t recordEnd(bool last) const;
    void take(std::size_t size, Chunk& chunk);

    std::istream& m_input;
    char m_delimiter;
    std::size_t m_chunkBytes;
    // Bytes read and not yet taken, its first m_filled; the rest is room for the next block,
    // kept from one chunk to the next: growing a string clears what it adds, byte by byte.
    std::string m_pending;
    std::size_t m_filled = 0;
    std::uint64_t m_taken = 0;
    std::uint64_t m_line = 1;
    bool m_ended = false;
    bool m_started = false;
    bool m_byteOrderMark = false;
};

// Line breaks in `bytes` as the reader counts them: CRLF, LF and a lone CR each one.
std::uint64_t countLines(std::string_view bytes) noexcept;

} // namespace talvo::table
