#include "cli/replacing_file.h"

#include "base/error.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace talvo::cli {

namespace {

namespace fs = std::filesystem;

// As the kernel counts links followed for one path.
constexpr int MaxLinks = 40;

// Room left in a temporary name for what a writer adds to it (".tiled.tif.aux.xml"), and for
// the old companion kept while the new one takes its place (".aux.xml.old").
constexpr std::size_t SuffixRoom = 24;
constexpr std::string_view KeptSuffix = ".old";

// The kernel's protected_symlinks rule: in a sticky folder anyone may write to, a link is
// followed only for its owner or the folder's. `final` is the link the caller named itself.
void checkLinkMayBeFollowed(const fs::path& folder, const fs::path& link,
                            const struct stat& linkStatus, const std::string& name,
                            const fs::path& shownFolder, bool final) {
    struct stat folderStatus {};
    if (::stat(folder.c_str(), &folderStatus) != 0) {
        return; // the write itself will say why
    }
    const bool shared =
        (folderStatus.st_mode & S_ISVTX) != 0 && (folderStatus.st_mode & S_IWOTH) != 0;
    if (!shared || linkStatus.st_uid == ::geteuid() || linkStatus.st_uid == folderStatus.st_uid) {
        return;
    }
    if (final) {
        throw base::Error(
            "cannot write " + name + ": it is a symbolic link that another user owns in " +
            "the shared folder " + shownFolder.string() + ", which the system does not follow");
    }
    throw base::Error(
        "cannot write " + name + ": its way leads through " + link.string() +
        ", a symbolic link that another user owns in a shared folder, which the system " +
        "does not follow");
}

// The descriptor that a path in /proc/PID/fd or /dev/fd names, as /dev/stdout does: the
// file behind it is the caller's to write as they opened it, never to replace.
std::optional<int> namedDescriptor(const fs::path& path) {
    const fs::path folder = path.parent_path();
    if (folder != "/dev/fd" && folder != "/proc/self/fd" &&
        folder != fs::path("/proc") / std::to_string(::getpid()) / "fd") {
        return std::nullopt;
    }
    const std::string number = path.filename().string();
    int descriptor = -1;
    const auto [end, error] =
        std::from_chars(number.data(), number.data() + number.size(), descriptor);
    if (error != std::errc{} || end != number.data() + number.size() || descriptor < 0) {
        return std::nullopt;
    }
    return descriptor;
}

// The file a path names, absolute, after following every symbolic link on the way, existing
// or not; a part that does not exist is kept as given, for the write to say why.
OutputTarget followLinks(const fs::path& given, const std::string& name) {
    OutputTarget target;
    if (const std::optional<int> descriptor = namedDescriptor(given)) {
        target.kind = OutputTarget::Kind::descriptor;
        target.descriptor = *descriptor;
        return target;
    }
    fs::path resolved = given.is_absolute() ? fs::path("/") : fs::current_path();
    const fs::path parts = given.relative_path();
    std::vector<fs::path> rest(parts.begin(), parts.end());
    std::reverse(rest.begin(), rest.end()); // taken from the back
    int links = 0;
    while (!rest.empty()) {
        const fs::path part = std::move(rest.back());
        rest.pop_back();
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            resolved = resolved.parent_path(); // as the kernel does after a link: no link left
            continue;
        }
        fs::path next = resolved / part;
        struct stat status {};
        if (::lstat(next.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            resolved = std::move(next);
            continue;
        }
        if (const std::optional<int> descriptor = namedDescriptor(next)) {
            target.kind = OutputTarget::Kind::descriptor;
            target.descriptor = *descriptor;
            return target;
        }
        if (++links > MaxLinks) {
            throw base::Error(writeFailure(name, ELOOP));
        }
        const bool final = rest.empty() && links == 1;
        checkLinkMayBeFollowed(resolved, next, status, name,
                               given.has_parent_path() ? given.parent_path() : fs::path("."),
                               final);
        std::error_code error;
        const fs::path leadsTo = fs::read_symlink(next, error);
        if (error) {
            throw base::Error(writeFailure(name, error.value()));
        }
        if (leadsTo.is_absolute()) {
            resolved = "/";
        }
        const fs::path relative = leadsTo.relative_path();
        for (auto step = std::make_reverse_iterator(relative.end());
             step != std::make_reverse_iterator(relative.begin()); ++step) {
            rest.push_back(*step);
        }
    }
    target.path = std::move(resolved);
    return target;
}

// A name a leftover can be traced by (after SIGKILL nothing can remove it), cut between two
// characters where the target's name is long, so that it fits in NAME_MAX with SuffixRoom.
std::string temporaryNameFor(std::string_view tool, std::string_view target, std::uint64_t number) {
    const std::string prefix = "." + std::string(tool) + ".";
    std::array<char, 32> suffix{};
    std::snprintf(suffix.data(), suffix.size(), ".%016" PRIx64 ".tmp", number);
    const std::size_t room = NAME_MAX - SuffixRoom - prefix.size() - std::strlen(suffix.data());
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

// A file that cannot exist, as its name is too long, is as good as missing.
bool absent(int error) {
    return error == ENOENT || error == ENAMETOOLONG;
}

} // namespace

std::string writeFailure(const std::string& name, int error) {
    return "cannot write " + name + ": " + std::strerror(error);
}

OutputTarget findOutput(const std::string& path) {
    if (path.empty()) {
        throw base::Error("the output has an empty name: name a file");
    }
    OutputTarget target = followLinks(path, path);
    struct stat status {};
    if (target.kind == OutputTarget::Kind::file && ::stat(target.path.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            throw base::Error("cannot write " + path + ": it is a directory");
        }
        if (!S_ISREG(status.st_mode)) {
            target.kind = OutputTarget::Kind::stream;
        }
    }
    return target;
}

ReplacingFile::ReplacingFile(fs::path target, std::string_view tool, std::string name,
                             InterruptionCleanup* cleanup)
    : m_target(std::move(target)), m_name(name.empty() ? m_target.string() : std::move(name)),
      m_cleanup(cleanup), m_stream(&m_buffer) {
    const fs::path folder = m_target.has_parent_path() ? m_target.parent_path() : fs::path(".");
    m_folder = Descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_folder) {
        throw base::Error(writeFailure(m_name, errno));
    }
    const std::string targetName = m_target.filename().string();
    m_replacing = ::fstatat(m_folder.get(), targetName.c_str(), &m_old, 0) == 0;
    if (m_replacing) {
        // Root may write anything, but a file that nobody may write was meant to stay.
        if ((m_old.st_mode & 0222U) == 0) {
            throw base::Error(writeFailure(m_name, EACCES));
        }
        if (::faccessat(m_folder.get(), targetName.c_str(), W_OK, AT_EACCESS) != 0) {
            throw base::Error(writeFailure(m_name, errno));
        }
    }
    checkReplaceable();
    if (m_cleanup != nullptr) {
        m_writer = m_cleanup->addWriter();
    }
    try {
        create(tool);
    } catch (...) {
        if (m_cleanup != nullptr) {
            m_cleanup->removeWriter(m_writer);
        }
        throw;
    }
}

void ReplacingFile::create(std::string_view tool) {
    // A signal that comes while the file is created waits until it is named for removal.
    std::optional<InterruptionCleanup::Hold> hold;
    if (m_cleanup != nullptr) {
        hold.emplace();
    }
    std::random_device random;
    std::string temporaryName;
    for (int attempt = 0; attempt < 100 && !m_file; ++attempt) {
        temporaryName = temporaryNameFor(tool, m_target.filename().string(),
                                         std::uint64_t{random()} << 32U | random());
        // Created new: nobody can slip a link in between. Private until it is complete.
        m_file = Descriptor(::openat(m_folder.get(), temporaryName.c_str(),
                                     O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOCTTY,
                                     m_replacing ? 0600 : 0666));
        if (!m_file && errno != EEXIST) {
            throw base::Error(writeFailure(m_name, errno));
        }
    }
    if (!m_file) {
        throw base::Error(writeFailure(m_name, EEXIST));
    }
    m_temporary = m_target.parent_path() / temporaryName;
    m_buffer.attach(m_file.get());
    if (m_cleanup != nullptr) {
        m_cleanup->removeOnSignal(m_writer, {m_temporary});
    }
}

void ReplacingFile::addCompanion(std::string suffix) {
    m_companionSuffix = std::move(suffix);
    nameForRemoval();
}

fs::path ReplacingFile::addScratch(std::string suffix) {
    m_scratchSuffix = std::move(suffix);
    nameForRemoval();
    fs::path scratch = m_temporary;
    scratch += m_scratchSuffix;
    return scratch;
}

void ReplacingFile::nameForRemoval() const {
    if (m_cleanup == nullptr) {
        return;
    }
    std::vector<fs::path> files{m_temporary};
    const auto add = [&files](const fs::path& file, const std::string& suffix) {
        fs::path named = file;
        named += suffix;
        files.push_back(named);
    };
    if (!m_companionSuffix.empty()) {
        add(m_temporary, m_companionSuffix);
    }
    if (!m_scratchSuffix.empty()) {
        add(m_temporary, m_scratchSuffix);
        if (!m_companionSuffix.empty()) {
            add(files.back(), m_companionSuffix);
        }
    }
    m_cleanup->removeOnSignal(m_writer, files);
}

void ReplacingFile::removeScratch() const {
    if (m_scratchSuffix.empty()) {
        return;
    }
    const std::string scratch = m_temporary.filename().string() + m_scratchSuffix;
    ::unlinkat(m_folder.get(), scratch.c_str(), 0);
    if (!m_companionSuffix.empty()) {
        ::unlinkat(m_folder.get(), (scratch + m_companionSuffix).c_str(), 0);
    }
}

void ReplacingFile::discard() {
    m_file.close();
    const std::string name = m_temporary.filename().string();
    ::unlinkat(m_folder.get(), name.c_str(), 0);
    if (!m_companionSuffix.empty()) {
        ::unlinkat(m_folder.get(), (name + m_companionSuffix).c_str(), 0);
    }
    removeScratch();
    if (m_cleanup != nullptr) {
        m_cleanup->removeOnSignal(m_writer, {});
    }
}

ReplacingFile::~ReplacingFile() {
    if (!m_committed) {
        discard();
    }
    if (m_cleanup != nullptr) {
        m_cleanup->removeWriter(m_writer);
    }
}

void ReplacingFile::checkWritten() const {
    if (m_buffer.error() != 0) {
        throw base::Error(writeFailure(m_name, m_buffer.error()));
    }
}

void ReplacingFile::renameIntoPlace() {
    const std::string name = m_temporary.filename().string();
    const std::string targetName = m_target.filename().string();
    if (m_companionSuffix.empty()) {
        if (::renameat(m_folder.get(), name.c_str(), m_folder.get(), targetName.c_str()) != 0) {
            throw base::Error(writeFailure(m_name, errno));
        }
        return;
    }
    const std::string companion = name + m_companionSuffix;
    const std::string targetCompanion = targetName + m_companionSuffix;
    // The old companion is kept under a second name until the file is in place, so that a
    // failed rename leaves the old file with its own; where the system allows no link, the
    // file's rename is the only one left to fail.
    const std::string kept = companion + std::string(KeptSuffix);
    const bool keeping =
        ::linkat(m_folder.get(), targetCompanion.c_str(), m_folder.get(), kept.c_str(), 0) == 0;
    struct stat status {};
    const bool written =
        ::fstatat(m_folder.get(), companion.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    const int result = written ? ::renameat(m_folder.get(), companion.c_str(), m_folder.get(),
                                            targetCompanion.c_str())
                               : ::unlinkat(m_folder.get(), targetCompanion.c_str(), 0);
    int error = result != 0 && (written || !absent(errno)) ? errno : 0;
    const std::string failed = error != 0 ? m_name + m_companionSuffix : m_name;
    if (error == 0 &&
        ::renameat(m_folder.get(), name.c_str(), m_folder.get(), targetName.c_str()) != 0) {
        error = errno;
        if (keeping) {
            ::renameat(m_folder.get(), kept.c_str(), m_folder.get(), targetCompanion.c_str());
        } else if (written) {
            ::unlinkat(m_folder.get(), targetCompanion.c_str(), 0);
        }
    }
    if (keeping) {
        ::unlinkat(m_folder.get(), kept.c_str(), 0);
    }
    if (error != 0) {
        throw base::Error(writeFailure(failed, error));
    }
}

bool ReplacingFile::removeTarget() {
    discard();
    m_committed = true;
    const std::string targetName = m_target.filename().string();
    if (::unlinkat(m_folder.get(), targetName.c_str(), 0) != 0) {
        if (errno != ENOENT) {
            throw base::Error(writeFailure(m_name, errno));
        }
        return false;
    }
    if (!m_companionSuffix.empty() &&
        ::unlinkat(m_folder.get(), (targetName + m_companionSuffix).c_str(), 0) != 0 &&
        !absent(errno)) {
        throw base::Error(writeFailure(m_name + m_companionSuffix, errno));
    }
    if (::fsync(m_folder.get()) != 0 && errno != EINVAL) {
        throw base::Error(writeFailure(m_name, errno));
    }
    return true;
}

} // namespace talvo::cli
