#pragma once

// Stream buffers over a file descriptor that remember why the system refused a read or a
// write, so that a message can name the real reason instead of a bare stream failure.

#include <streambuf>
#include <sys/types.h>
#include <vector>

namespace talvo::cli {

// Writes to a descriptor it does not own. After a failed write the stream goes bad and every
// later write fails too: a table with a hole in it must never look complete.
class OutputBuffer : public std::streambuf {
public:
    OutputBuffer();
    // The descriptor to write to; until then every write fails with EBADF.
    void attach(int descriptor) { m_descriptor = descriptor; }
    // The errno of the first failed write, or 0.
    int error() const { return m_error; }

protected:
    int_type overflow(int_type character) override;
    int sync() override;

private:
    bool drain();

    int m_descriptor = -1;
    int m_error = 0;
    std::vector<char> m_buffer;
};

// Reads from a descriptor it does not own. A failed read ends the input like its end does;
// error() tells the two apart.
class InputBuffer : public std::streambuf {
public:
    explicit InputBuffer(int descriptor);
    // The errno of a failed read, or 0.
    int error() const { return m_error; }

protected:
    int_type underflow() override;
    // Bytes a read would give now without waiting: a pipe or a terminal that pauses has none.
    std::streamsize showmanyc() override;

private:
    int m_descriptor;
    int m_error = 0;
    std::vector<char> m_buffer;
};

} // namespace talvo::cli
