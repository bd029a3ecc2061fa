#include "table/piece.h"

#include "table/blocks.h"

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

void OutputPiece::FreeBytes::operator()(char* bytes) const noexcept {
    if (blocks) {
        freeBlock(bytes);
    } else {
        delete[] bytes;
    }
}

void OutputPiece::grow(std::size_t bytes) {
    std::size_t grown = std::max(m_size + bytes, 2 * m_capacity);
    // Left uninitialised: every byte is written before it is read, and clearing a fresh piece
    // cost as much as writing it. A large piece takes whole blocks: filled, it faults in a
    // huge page at a time, not 4 KiB at a time.
    const bool blocks = grown >= StoreBlockBytes / 2;
    if (blocks) {
        grown = (grown + StoreBlockBytes - 1) / StoreBlockBytes * StoreBlockBytes;
    }
    // NOLINTBEGIN(modernize-avoid-c-arrays,cppcoreguidelines-avoid-c-arrays)
    std::unique_ptr<char[], FreeBytes> fresh(
        blocks ? static_cast<char*>(allocateBlocks(grown)) : new char[grown], FreeBytes{blocks});
    // NOLINTEND(modernize-avoid-c-arrays,cppcoreguidelines-avoid-c-arrays)
    std::copy_n(m_bytes.get(), m_size, fresh.get());
    m_bytes = std::move(fresh);
    m_capacity = grown;
}

} // namespace talvo::table
