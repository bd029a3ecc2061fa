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
    // Starts the system writing what has been written to disk as it goes, so that a sync at
    // the end finds little left to wait for. For a file that will be synced.
    void writeBackEarly() { m_writeBack = true; }
    // The errno of the first failed write, or 0.
    int error() const { return m_error; }

protected:
    int_type overflow(int_type character) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    bool writeOut(const char* text, std::size_t count);
    void startWriteBack();
    bool drain();

    int m_descriptor = -1;
    int m_error = 0;
    std::vector<char> m_buffer;
    bool m_writeBack = false;
    off_t m_written = 0;     // bytes written so far
    off_t m_writtenBack = 0; // of these, the ones the system was asked to write to disk
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
    // A block or more is read straight into `text`, not copied through the buffer.
    std::streamsize xsgetn(char* text, std::streamsize count) override;
    // Bytes a read would give now without waiting: a pipe or a terminal that pauses has none.
    std::streamsize showmanyc() override;

private:
    // One read of up to `count` bytes into `text`: its count, 0 at the end or after a failure.
    std::size_t readSome(char* text, std::size_t count);

    int m_descriptor;
    int m_error = 0;
    std::vector<char> m_buffer;
};

} // namespace talvo::cli
