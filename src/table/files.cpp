#include "table/files.h"

#include "table/error.h"

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

namespace talvo::table {

namespace {

namespace fs = std::filesystem;

std::string reason(const std::string& name, int error) {
    return "cannot write " + name + ": " + std::strerror(error);
}

// The file a path names after following its symbolic links, existing or not.
fs::path linkTarget(fs::path path) {
    std::error_code error;
    for (int depth = 0; depth < 40 && fs::is_symlink(fs::symlink_status(path, error)); ++depth) {
        const fs::path next = fs::read_symlink(path, error);
        if (error) {
            break;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

// A name a leftover can be traced by (after SIGKILL nothing can remove it), cut between two
// characters where the target's name is long, so that it always fits in NAME_MAX.
std::string temporaryNameFor(std::string_view target, std::uint64_t number) {
    constexpr std::string_view prefix = ".talvo-batch.";
    std::array<char, 32> suffix{};
    std::snprintf(suffix.data(), suffix.size(), ".%016" PRIx64 ".tmp", number);
    const std::size_t room = NAME_MAX - prefix.size() - std::strlen(suffix.data());
    std::size_t kept = std::min(target.size(), room);
    while (kept > 0 && kept < target.size() &&
           (static_cast<unsigned char>(target[kept]) & 0xC0U) == 0x80U) {
        --kept; // inside a UTF-8 character
    }
    std::string name(prefix);
    name += target.substr(0, kept);
    name += suffix.data();
    return name;
}

// The file system keeps no owner or mode (vfat, some network file systems).
bool ignorable(int error) {
    return error == EPERM || error == EINVAL || error == EOPNOTSUPP;
}

// Owner and group where the process may set them (root, or a group the user is in), then the
// mode, as a change of owner may clear set-user-ID bits.
int keepOwnerAndMode(int file, const struct stat& old) {
    if (::fchown(file, old.st_uid, old.st_gid) != 0 && errno == EPERM &&
        ::fchown(file, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // Not allowed: the file is the user's own, as if they had copied it.
    }
    if (::fchmod(file, old.st_mode & 07777U) != 0 && !ignorable(errno)) {
        return errno;
    }
    return 0;
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

ReplacingFile::ReplacingFile(fs::path target, std::string name, InterruptionCleanup* cleanup)
    : m_target(std::move(target)), m_name(name.empty() ? m_target.string() : std::move(name)),
      m_cleanup(cleanup), m_stream(&m_buffer) {
    const fs::path folder = m_target.has_parent_path() ? m_target.parent_path() : fs::path(".");
    m_folder = Descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_folder) {
        throw Error(reason(m_name, errno));
    }
    const std::string targetName = m_target.filename().string();
    struct stat old {};
    const bool replacing = ::fstatat(m_folder.get(), targetName.c_str(), &old, 0) == 0;
    if (replacing) {
        // Root may write anything, but a file that nobody may write was meant to stay.
        if ((old.st_mode & 0222U) == 0) {
            throw Error(reason(m_name, EACCES));
        }
        if (::faccessat(m_folder.get(), targetName.c_str(), W_OK, AT_EACCESS) != 0) {
            throw Error(reason(m_name, errno));
        }
    }

    // A signal that comes while the file is created waits until it is named for removal.
    std::optional<InterruptionCleanup::Hold> hold;
    if (m_cleanup != nullptr) {
        hold.emplace();
    }
    std::random_device random;
    std::string temporaryName;
    for (int attempt = 0; attempt < 100 && !m_file; ++attempt) {
        temporaryName = temporaryNameFor(targetName, std::uint64_t{random()} << 32U | random());
        // Created new and written through this descriptor alone: nobody can slip a link in
        // between. Private until it has the old file's mode.
        m_file = Descriptor(::openat(m_folder.get(), temporaryName.c_str(),
                                     O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOCTTY,
                                     replacing ? 0600 : 0666));
        if (!m_file && errno != EEXIST) {
            throw Error(reason(m_name, errno));
        }
    }
    if (!m_file) {
        throw Error(reason(m_name, EEXIST));
    }
    m_temporary = m_target.parent_path() / temporaryName;
    m_buffer.attach(m_file.get());
    if (m_cleanup != nullptr) {
        m_cleanup->removeOnSignal(m_temporary);
    }
    if (const int error = replacing ? keepOwnerAndMode(m_file.get(), old) : 0; error != 0) {
        discard();
        throw Error(reason(m_name, error));
    }
}

void ReplacingFile::discard() {
    m_file.close();
    ::unlinkat(m_folder.get(), m_temporary.filename().c_str(), 0);
    if (m_cleanup != nullptr) {
        m_cleanup->removeOnSignal({});
    }
}

ReplacingFile::~ReplacingFile() {
    if (!m_committed) {
        discard();
    }
}

void ReplacingFile::checkWritten() const {
    if (m_buffer.error() != 0) {
        throw Error(reason(m_name, m_buffer.error()));
    }
}

void ReplacingFile::commit() {
    m_stream.flush();
    checkWritten();
    if (::fsync(m_file.get()) != 0 && errno != EINVAL) {
        throw Error(reason(m_name, errno));
    }
    if (const int error = m_file.close(); error != 0) {
        throw Error(reason(m_name, error));
    }
    if (::renameat(m_folder.get(), m_temporary.filename().c_str(), m_folder.get(),
                   m_target.filename().c_str()) != 0) {
        throw Error(reason(m_name, errno));
    }
    m_committed = true;
    if (m_cleanup != nullptr) {
        m_cleanup->removeOnSignal({});
    }
    if (::fsync(m_folder.get()) != 0 && errno != EINVAL) {
        throw Error(reason(m_name, errno));
    }
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
    std::error_code ignored;
    const auto status = fs::status(path, ignored);
    if (fs::is_directory(status)) {
        throw Error("cannot write " + path + ": it is a directory");
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        m_device = Descriptor(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
        if (!m_device) {
            throw Error(reason(path, errno));
        }
        m_direct.attach(m_device.get());
        return;
    }
    m_replacing.emplace(linkTarget(path), path, cleanup);
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

} // namespace talvo::table
