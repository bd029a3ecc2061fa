#include "cli/files.h"

#include "cli/error.h"

#include <array>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace talvo::cli {

namespace {

namespace fs = std::filesystem;

std::string reason(const std::string& name, int error) {
    return "cannot write " + name + ": " + std::strerror(error);
}

Descriptor openInput(const std::string& path) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!file) {
        throw Error("cannot read " + path + ": " + std::strerror(errno));
    }
    struct stat status {};
    if (::fstat(file.get(), &status) == 0 && S_ISDIR(status.st_mode)) {
        throw Error("cannot read " + path + ": it is a directory");
    }
    return file;
}

} // namespace

bool isSameRegularFile(int descriptor, const fs::path& path) {
    struct stat open {};
    struct stat named {};
    return ::fstat(descriptor, &open) == 0 && S_ISREG(open.st_mode) &&
           ::stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

InputFile::InputFile(const std::string& path)
    : m_name(path == "-" ? "standard input" : path),
      m_file(path == "-" ? Descriptor() : openInput(path)),
      m_descriptor(m_file ? m_file.get() : STDIN_FILENO), m_buffer(m_descriptor),
      m_stream(&m_buffer), m_start(regularFileState()) {}

std::optional<std::uintmax_t> InputFile::size() const {
    if (!m_start) {
        return std::nullopt;
    }
    return m_start->size;
}

std::optional<InputFile::State> InputFile::regularFileState() const {
    struct stat status {};
    if (::fstat(m_descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return State{static_cast<std::uintmax_t>(status.st_size), status.st_mtim.tv_sec,
                 status.st_mtim.tv_nsec};
}

void InputFile::checkUnchanged() const {
    if (m_buffer.error() != 0) {
        throw Error("cannot read " + m_name + ": " + std::strerror(m_buffer.error()));
    }
    if (m_start && regularFileState() != m_start) {
        throw Error("the input changed while it was being read: " + m_name);
    }
}

OutputFile::OutputFile(const std::string& path, const InputFile& input,
                       InterruptionCleanup* cleanup)
    : m_name(path.empty() || path == "-" ? "standard output" : path), m_directStream(&m_direct) {
    if (path.empty() || path == "-") {
        m_direct.attach(STDOUT_FILENO);
        return;
    }
    // Replacing the table being read would lose the user's data if they meant otherwise.
    if (isSameRegularFile(input.descriptor(), path)) {
        throw Error("--output " + path + " is the input file: write the results to another file");
    }
    const OutputTarget target = findOutput(path);
    if (target.kind == OutputTarget::Kind::stream) {
        m_device = Descriptor(::open(target.path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
        if (!m_device) {
            throw Error(reason(path, errno));
        }
        m_direct.attach(m_device.get());
        return;
    }
    m_replacing.emplace(target.path, "talvo-batch", path, cleanup);
}

OutputFile::~OutputFile() {
    m_directStream.flush();
}

std::ostream& OutputFile::stream() {
    return m_replacing ? m_replacing->stream() : m_directStream;
}

std::filesystem::path OutputFile::temporaryPath() const {
    return m_replacing ? m_replacing->temporaryPath() : fs::path();
}

void OutputFile::checkWritten() const {
    if (m_replacing) {
        m_replacing->checkWritten();
    } else if (m_direct.error() != 0) {
        throw Error(reason(m_name, m_direct.error()));
    }
}

void OutputFile::commit() {
    if (m_replacing) {
        m_replacing->commit();
        return;
    }
    m_directStream.flush();
    checkWritten();
    if (const int error = m_device.close(); error != 0) {
        throw Error(reason(m_name, error));
    }
}

} // namespace talvo::cli
