#include "table/piece.h"

#include <algorithm>

namespace talvo::table {

void OutputPiece::append(std::string_view text) {
    commit(std::copy(text.begin(), text.end(), room(text.size())));
}

void OutputPiece::reserve(std::size_t bytes) {
    if (bytes > m_capacity) {
        grow(bytes - m_size);
    }
}

void OutputPiece::grow(std::size_t bytes) {
    // Left uninitialised: every byte is written before it is read, and clearing a fresh piece
    // cost as much as writing it.
    const std::size_t grown = std::max(m_size + bytes, 2 * m_capacity);
    // NOLINTNEXTLINE(modernize-avoid-c-arrays,cppcoreguidelines-avoid-c-arrays)
    std::unique_ptr<char[]> fresh(new char[grown]);
    std::copy_n(m_bytes.get(), m_size, fresh.get());
    m_bytes = std::move(fresh);
    m_capacity = grown;
}

} // namespace talvo::table
