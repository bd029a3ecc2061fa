#include "cli/files.h"

#include "base/error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace talvo::cli {

namespace {

Descriptor openInput(const std::string& path) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!file) {
        throw base::Error("cannot read " + path + ": " + std::strerror(errno));
    }
    struct stat status {};
    if (::fstat(file.get(), &status) == 0 && S_ISDIR(status.st_mode)) {
        throw base::Error("cannot read " + path + ": it is a directory");
    }
    return file;
}

} // namespace

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
        throw base::Error("cannot read " + m_name + ": " + std::strerror(m_buffer.error()));
    }
    if (m_start && regularFileState() != m_start) {
        throw base::Error("the input changed while it was being read: " + m_name);
    }
}

OutputFile::OutputFile(const std::string& option, const std::string& path, const InputFile& input,
                       InterruptionCleanup* cleanup)
    : m_name(path.empty() || path == "-" ? "standard output" : path), m_directStream(&m_direct) {
    OutputTarget target;
    if (path.empty() || path == "-") {
        target.kind = OutputTarget::Kind::descriptor;
        target.descriptor = STDOUT_FILENO;
    } else {
        target = findOutput(path);
    }
    const bool named = target.kind != OutputTarget::Kind::descriptor;
    if (target.kind == OutputTarget::Kind::file) {
        m_path = target.path; // a device may well take two outputs: /dev/null
    }
    struct stat status {};
    if ((named ? ::stat(target.path.c_str(), &status) : ::fstat(target.descriptor, &status)) == 0 &&
        S_ISREG(status.st_mode)) {
        m_regular = FileId{status.st_dev, status.st_ino};
    }
    // Replacing the table being read would lose the user's data if they meant otherwise, and
    // appending to it would read the run's own rows until the disk is full. Only regular
    // files count: /dev/null may well be both input and output.
    struct stat read {};
    if (m_regular && ::fstat(input.descriptor(), &read) == 0 && S_ISREG(read.st_mode) &&
        FileId{read.st_dev, read.st_ino} == *m_regular) {
        throw base::Error((path.empty() || path == "-" ? "standard output" : option + " " + path) +
                          " is the input file: write the results to another file");
    }
    switch (target.kind) {
    case OutputTarget::Kind::descriptor:
        m_standardOutput = target.descriptor == STDOUT_FILENO;
        m_direct.attach(target.descriptor);
        return;
    case OutputTarget::Kind::stream:
        m_device = Descriptor(::open(target.path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
        if (!m_device) {
            throw base::Error(writeFailure(path, errno));
        }
        m_direct.attach(m_device.get());
        return;
    case OutputTarget::Kind::file:
        m_replacing.emplace(target.path, "talvo-batch", path, cleanup);
        return;
    }
}

bool OutputFile::isSameFile(const OutputFile& other) const {
    return (m_standardOutput && other.m_standardOutput) ||
           (m_regular && m_regular == other.m_regular) ||
           (!m_path.empty() && m_path == other.m_path);
}

OutputFile::~OutputFile() {
    m_directStream.flush();
}

std::ostream& OutputFile::stream() {
    return m_replacing ? m_replacing->stream() : m_directStream;
}

void OutputFile::checkWritten() const {
    if (m_replacing) {
        m_replacing->checkWritten();
    } else if (m_direct.error() != 0) {
        throw base::Error(writeFailure(m_name, m_direct.error()));
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
        throw base::Error(writeFailure(m_name, error));
    }
}

OutputFiles::OutputFiles(const InputFile& input, InterruptionCleanup& cleanup)
    : m_input(input), m_cleanup(cleanup) {}

OutputFile& OutputFiles::add(const std::string& option, const std::string& path) {
    auto file = std::make_unique<OutputFile>(option, path, m_input, &m_cleanup);
    for (const auto& [otherOption, other] : m_files) {
        if (file->isSameFile(*other)) {
            std::string message = option;
            message += " and ";
            message += otherOption;
            message += " name the same file: give each its own";
            throw base::Error(message);
        }
    }
    m_files.emplace_back(option, std::move(file));
    return *m_files.back().second;
}

void OutputFiles::commit() {
    // Streams first: one that failed stops the run before any file is replaced.
    std::vector<ReplacingFile*> replaced;
    for (const auto& entry : m_files) {
        OutputFile& file = *entry.second;
        if (file.m_replacing) {
            replaced.push_back(&*file.m_replacing);
        } else {
            file.commit();
        }
    }
    commitTogether(replaced);
}

} // namespace talvo::cli
