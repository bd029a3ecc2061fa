#pragma once

// A piece of output rows, written in place: a row takes room at the end, fills it through a
// pointer and commits its end. Rows appended to a std::string cost two appends each, about a
// tenth of a row's work, and a string's room past its size cannot be written at all.

#include <cstddef>
#include <memory>
#include <string_view>
#include <utility>

namespace talvo::table {

class OutputPiece {
public:
    OutputPiece() = default;
    // A piece moved from is empty, with no room: its sizes go with its bytes.
    OutputPiece(OutputPiece&& other) noexcept
        : m_bytes(std::move(other.m_bytes)), m_size(std::exchange(other.m_size, 0)),
          m_capacity(std::exchange(other.m_capacity, 0)) {}
    OutputPiece& operator=(OutputPiece&& other) noexcept {
        m_bytes = std::move(other.m_bytes);
        m_size = std::exchange(other.m_size, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
        return *this;
    }
    OutputPiece(const OutputPiece&) = delete;
    OutputPiece& operator=(const OutputPiece&) = delete;
    ~OutputPiece() = default;

    // The rows written so far.
    std::string_view text() const noexcept { return {m_bytes.get(), m_size}; }
    std::size_t size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }
    std::size_t capacity() const noexcept { return m_capacity; }

    // At least `bytes` of room after the text, which may move it; the room's start.
    char* room(std::size_t bytes) {
        if (m_capacity - m_size < bytes) {
            grow(bytes);
        }
        return m_bytes.get() + m_size;
    }
    // The text now ends at `end`, within the room room() gave.
    void commit(const char* end) noexcept {
        m_size = static_cast<std::size_t>(end - m_bytes.get());
    }
    void append(std::string_view text);
    void reserve(std::size_t bytes);
    // The room stays: a piece is reused, and fresh memory faults in page by page.
    void clear() noexcept { m_size = 0; }

private:
    void grow(std::size_t bytes);

    // NOLINTNEXTLINE(modernize-avoid-c-arrays,cppcoreguidelines-avoid-c-arrays)
    std::unique_ptr<char[]> m_bytes; // uninitialised: see grow()
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace talvo::table
