#pragma once

// A file descriptor owned by one object and closed with it.

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace talvo::cli {

class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int descriptor) : m_descriptor(descriptor) {}
    Descriptor(Descriptor&& other) noexcept : m_descriptor(std::exchange(other.m_descriptor, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        close();
        m_descriptor = std::exchange(other.m_descriptor, -1);
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { close(); }

    int get() const { return m_descriptor; }
    explicit operator bool() const { return m_descriptor >= 0; }

    // Closes it now: 0, or the errno of a failed close, where some file systems report
    // a write that did not reach the disk.
    int close() {
        if (m_descriptor < 0) {
            return 0;
        }
        const int result = ::close(std::exchange(m_descriptor, -1));
        return result == 0 || errno == EINTR ? 0 : errno;
    }

private:
    int m_descriptor = -1;
};

} // namespace talvo::cli
