#include "cli/descriptor_buffer.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talvo::cli {

namespace {

constexpr std::size_t BufferBytes = std::size_t{64} << 10;
// Bytes written between two requests to write them to disk.
constexpr off_t WriteBackBytes = off_t{1} << 20;

} // namespace

OutputBuffer::OutputBuffer() : m_buffer(BufferBytes) {
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
}

bool OutputBuffer::writeOut(const char* text, std::size_t count) {
    if (m_error != 0) {
        return false;
    }
    while (count > 0) {
        const ssize_t written = ::write(m_descriptor, text, count);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            m_error = errno;
            return false;
        }
        text += written;
        count -= static_cast<std::size_t>(written);
        m_written += written;
    }
    startWriteBack();
    return true;
}

void OutputBuffer::startWriteBack() {
#ifdef SYNC_FILE_RANGE_WRITE
    if (m_writeBack && m_written - m_writtenBack >= WriteBackBytes) {
        // Advice only: where the system declines, the sync at the end does it all.
        ::sync_file_range(m_descriptor, m_writtenBack, m_written - m_writtenBack,
                          SYNC_FILE_RANGE_WRITE);
        m_writtenBack = m_written;
    }
#endif
}

bool OutputBuffer::drain() {
    const bool written = writeOut(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    return written;
}

OutputBuffer::int_type OutputBuffer::overflow(int_type character) {
    if (!drain()) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(character, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(character);
        pbump(1);
    }
    return traits_type::not_eof(character);
}

std::streamsize OutputBuffer::xsputn(const char* text, std::streamsize count) {
    // Large blocks, as the run writes them, go straight out instead of through the buffer.
    if (count < static_cast<std::streamsize>(m_buffer.size())) {
        return std::streambuf::xsputn(text, count);
    }
    if (!drain() || !writeOut(text, static_cast<std::size_t>(count))) {
        return 0;
    }
    return count;
}

int OutputBuffer::sync() {
    return drain() ? 0 : -1;
}

InputBuffer::InputBuffer(int descriptor) : m_descriptor(descriptor), m_buffer(BufferBytes) {
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data());
}

std::size_t InputBuffer::readSome(char* text, std::size_t count) {
    if (m_error != 0) {
        return 0;
    }
    ssize_t got = 0;
    do {
        got = ::read(m_descriptor, text, count);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        m_error = errno;
        return 0;
    }
    return static_cast<std::size_t>(got);
}

InputBuffer::int_type InputBuffer::underflow() {
    const std::size_t count = readSome(m_buffer.data(), m_buffer.size());
    if (count == 0) {
        return traits_type::eof();
    }
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data() + count);
    return traits_type::to_int_type(m_buffer.front());
}

std::streamsize InputBuffer::xsgetn(char* text, std::streamsize count) {
    // What the buffer holds goes first, so that the bytes stay in order.
    const std::streamsize buffered = std::min(count, egptr() - gptr());
    std::copy_n(gptr(), buffered, text);
    setg(eback(), gptr() + buffered, egptr());
    std::streamsize done = buffered;
    while (count - done >= static_cast<std::streamsize>(m_buffer.size())) {
        const std::size_t got = readSome(text + done, static_cast<std::size_t>(count - done));
        if (got == 0) {
            return done;
        }
        done += static_cast<std::streamsize>(got);
    }
    return done + std::streambuf::xsgetn(text + done, count - done);
}

std::streamsize InputBuffer::showmanyc() {
    if (m_error != 0) {
        return 0;
    }
    // A file's remaining size may not fit FIONREAD's int.
    struct stat status {};
    if (::fstat(m_descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
        const off_t at = ::lseek(m_descriptor, 0, SEEK_CUR);
        return at >= 0 && status.st_size > at
                   ? static_cast<std::streamsize>(
                         std::min<off_t>(status.st_size - at, static_cast<off_t>(BufferBytes)))
                   : 0;
    }
    // Pipes, sockets and terminals; anything else counts as having nothing now.
    int count = 0;
    if (::ioctl(m_descriptor, FIONREAD, &count) != 0) {
        return 0;
    }
    return std::max(count, 0);
}

} // namespace talvo::cli
