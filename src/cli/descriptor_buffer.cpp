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

} // namespace

OutputBuffer::OutputBuffer() : m_buffer(BufferBytes) {
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
}

bool OutputBuffer::drain() {
    const char* text = pbase();
    auto count = static_cast<std::size_t>(pptr() - pbase());
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    while (m_error == 0 && count > 0) {
        const ssize_t written = ::write(m_descriptor, text, count);
        if (written < 0 && errno != EINTR) {
            m_error = errno;
        } else if (written > 0) {
            text += written;
            count -= static_cast<std::size_t>(written);
        }
    }
    return m_error == 0;
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

int OutputBuffer::sync() {
    return drain() ? 0 : -1;
}

InputBuffer::InputBuffer(int descriptor) : m_descriptor(descriptor), m_buffer(BufferBytes) {
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data());
}

InputBuffer::int_type InputBuffer::underflow() {
    if (m_error != 0) {
        return traits_type::eof();
    }
    ssize_t got = 0;
    do {
        got = ::read(m_descriptor, m_buffer.data(), m_buffer.size());
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        m_error = got < 0 ? errno : 0;
        return traits_type::eof();
    }
    setg(m_buffer.data(), m_buffer.data(), m_buffer.data() + got);
    return traits_type::to_int_type(m_buffer.front());
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
