#pragma once

// Streams over JavaScript functions, for the table tab's runs that read and write through the
// library's std::istream and std::ostream: the worker reads the file synchronously and writes
// the output as it comes, so that neither side holds a table whole.

#include <emscripten/val.h>
#include <functional>
#include <istream>
#include <ostream>
#include <streambuf>
#include <string_view>
#include <utility>
#include <vector>

namespace talvo::web {

// An input stream over the pieces `read()` returns, each a Uint8Array; an empty one ends it.
class PulledInput : private std::streambuf, public std::istream {
public:
    explicit PulledInput(emscripten::val read) : std::istream(this), m_read(std::move(read)) {}

private:
    int_type underflow() override {
        const emscripten::val piece = m_read();
        const auto size = piece["length"].as<std::size_t>();
        if (size == 0) {
            return traits_type::eof();
        }
        m_piece.resize(size);
        emscripten::val(
            emscripten::typed_memory_view(size, reinterpret_cast<unsigned char*>(m_piece.data())))
            .call<void>("set", piece);
        setg(m_piece.data(), m_piece.data(), m_piece.data() + size);
        return traits_type::to_int_type(m_piece.front());
    }

    emscripten::val m_read;
    std::vector<char> m_piece;
};

// An output stream that hands each full buffer, and the rest on flush, to `write`: the bytes
// are valid only during the call.
class PushedOutput : private std::streambuf, public std::ostream {
public:
    explicit PushedOutput(std::function<void(std::string_view)> write)
        : std::ostream(this), m_write(std::move(write)), m_buffer(BufferBytes) {
        setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    }

private:
    static constexpr std::size_t BufferBytes = std::size_t{1} << 20;

    int_type overflow(int_type c) override {
        push();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        push();
        return 0;
    }
    void push() {
        const auto size = static_cast<std::size_t>(pptr() - pbase());
        if (size > 0) {
            m_write(std::string_view(pbase(), size));
        }
        setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    }

    std::function<void(std::string_view)> m_write;
    std::vector<char> m_buffer;
};

} // namespace talvo::web
