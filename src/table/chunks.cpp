#include "table/chunks.h"

#include <algorithm>

namespace talvo::table {

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
}

} // namespace

std::uint64_t countLines(std::string_view bytes) noexcept {
    if (bytes.find('\r') == std::string_view::npos) {
        // Summed a block at a time in one byte, which the compiler turns into vector code. The
        // block is a whole number of vectors (16 or 32 bytes) below 256, so that no byte but the
        // last few of the input is left to a loop one byte at a time.
        constexpr std::size_t Block = 224;
        std::uint64_t lines = 0;
        for (std::size_t first = 0; first < bytes.size(); first += Block) {
            const std::size_t last = std::min(bytes.size(), first + Block);
            std::uint8_t inBlock = 0;
            for (std::size_t i = first; i < last; ++i) {
                inBlock = static_cast<std::uint8_t>(inBlock + (bytes[i] == '\n' ? 1 : 0));
            }
            lines += inBlock;
        }
        return lines;
    }
    std::uint64_t lines = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r'))) {
            ++lines;
        }
    }
    return lines;
}

ChunkReader::ChunkReader(std::istream& input, char delimiter, std::size_t chunkBytes)
    : m_input(input), m_delimiter(delimiter), m_chunkBytes(chunkBytes) {}

bool ChunkReader::fill() {
    if (m_ended) {
        return false;
    }
    // Whatever the input has now, at least one byte: a pipe or a terminal is not made to wait
    // for a whole block, so rows go out while the rest of the table is still coming.
    // Asked how much it has before anything is read: a buffer over a descriptor then reads a
    // whole block straight into the pending bytes instead of through its own.
    std::streambuf& buffer = *m_input.rdbuf();
    const std::size_t size = m_filled;
    if (m_pending.size() < size + BlockBytes) {
        m_pending.resize(size + BlockBytes);
    }
    std::size_t count = 0;
    std::streamsize available = buffer.in_avail();
    if (available <= 0 && buffer.sgetc() != std::streambuf::traits_type::eof()) {
        available = buffer.in_avail();
    }
    while (count < BlockBytes && available > 0) {
        const std::streamsize got =
            buffer.sgetn(m_pending.data() + size + count,
                         std::min(available, static_cast<std::streamsize>(BlockBytes - count)));
        if (got <= 0) {
            break; // the input promised more than it gave
        }
        count += static_cast<std::size_t>(got);
        available = buffer.in_avail();
    }
    m_filled = size + count;
    if (!m_started) {
        m_started = true;
        if (pending().starts_with(ByteOrderMark)) {
            m_byteOrderMark = true;
            m_pending.erase(0, ByteOrderMark.size());
            m_filled -= ByteOrderMark.size();
            m_taken += ByteOrderMark.size();
        }
    }
    if (count == 0) {
        m_ended = true;
    }
    return count != 0;
}

// Follows the reader's states from a record start. A record ends after its line break; a CR
// takes the LF after it along, and a CR last in the buffer ends nothing until the input has.
std::size_t ChunkReader::recordEnd(bool last) const {
    const std::string_view bytes = pending();
    if (last && bytes.find('"') == std::string_view::npos &&
        bytes.find('\r') == std::string_view::npos) {
        const std::size_t lf = bytes.rfind('\n');
        return lf == std::string_view::npos ? lf : lf + 1;
    }
    enum class State { recordStart, fieldStart, unquoted, quoted, quoteInQuoted };
    State state = State::recordStart;
    std::size_t end = std::string_view::npos;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        switch (state) {
        case State::recordStart:
            if (isLineBreak(c)) {
                continue;
            }
            [[fallthrough]];
        case State::fieldStart:
            if (c == '"') {
                state = State::quoted;
                continue;
            }
            [[fallthrough]];
        case State::unquoted:
        case State::quoteInQuoted:
            if (state == State::quoteInQuoted && c == '"') {
                state = State::quoted;
            } else if (c == m_delimiter) {
                state = State::fieldStart;
            } else if (isLineBreak(c)) {
                std::size_t after = i + 1;
                if (c == '\r') {
                    if (after == bytes.size() && !m_ended) {
                        return end;
                    }
                    if (after < bytes.size() && bytes[after] == '\n') {
                        ++after;
                    }
                }
                if (!last) {
                    return after;
                }
                end = after;
                i = after - 1;
                state = State::recordStart;
            } else {
                state = State::unquoted;
            }
            continue;
        case State::quoted:
            if (c == '"') {
                state = State::quoteInQuoted;
            }
            continue;
        }
    }
    return end;
}

void ChunkReader::take(std::size_t size, Chunk& chunk) {
    // The pending bytes become the chunk, and the few past its last record go back into the
    // chunk's old buffer: a chunk is most of what is pending, and not copied so.
    chunk.bytes.swap(m_pending);
    const std::string_view rest = std::string_view(chunk.bytes).substr(size, m_filled - size);
    if (m_pending.size() < rest.size()) {
        m_pending.resize(rest.size());
    }
    std::copy(rest.begin(), rest.end(), m_pending.begin());
    m_filled = rest.size();
    chunk.bytes.resize(size);
    chunk.firstLine = m_line;
    m_line += countLines(chunk.bytes);
    m_taken += size;
    chunk.inputEnd = m_taken;
    const std::string_view bytes = chunk.bytes;
    chunk.unquoted =
        bytes.find('"') == std::string_view::npos && bytes.find('\r') == std::string_view::npos;
    chunk.paused = m_input.rdbuf()->in_avail() <= 0;
}

bool ChunkReader::header(Chunk& chunk) {
    for (;;) {
        const std::size_t end = recordEnd(false);
        if (end != std::string::npos) {
            take(end, chunk);
            return true;
        }
        // A header longer than a record may be goes to the careful parse, which says so.
        if (!fill() || m_filled > MaxRecordBytes + BlockBytes) {
            if (pending().find_first_not_of("\r\n") == std::string::npos) {
                return false; // nothing but blank lines
            }
            take(m_filled, chunk);
            return true;
        }
    }
}

bool ChunkReader::next(Chunk& chunk) {
    // On to a whole chunk while the input has more at hand: the rows a pipe or a terminal gives
    // before it pauses go out without waiting for the rest.
    while (m_filled < m_chunkBytes && (m_filled == 0 || m_input.rdbuf()->in_avail() > 0) &&
           fill()) {
    }
    for (;;) {
        if (m_filled == 0) {
            return false;
        }
        if (m_ended) {
            take(m_filled, chunk); // the last record needs no line break
            return true;
        }
        const std::size_t end = recordEnd(true);
        if (end != std::string::npos && end != 0) {
            take(end, chunk);
            return true;
        }
        // No record ends yet: a long record. Beyond the limit the careful parse reports it.
        if (m_filled > MaxRecordBytes + BlockBytes) {
            take(m_filled, chunk);
            return true;
        }
        fill();
    }
}

} // namespace talvo::table
