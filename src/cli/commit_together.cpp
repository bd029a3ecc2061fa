// Putting finished files in place: each synced with its old owner and mode and checked, then
// all renamed under one hold.

#include "base/error.h"
#include "cli/replacing_file.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace talvo::cli {

namespace {

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

// Syncs a file that another writer wrote by name, with the mode and owner of `old` where it
// replaces one; a missing one is no error.
int syncNamed(int folder, const std::string& name, const struct stat* old) {
    const Descriptor file(::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!file) {
        return errno == ENOENT ? 0 : errno;
    }
    if (const int error = old != nullptr ? keepOwnerAndMode(file.get(), *old) : 0; error != 0) {
        return error;
    }
    return ::fsync(file.get()) != 0 && errno != EINVAL ? errno : 0;
}

} // namespace

void ReplacingFile::syncAndKeepOwner() {
    const std::string name = m_temporary.filename().string();
    // A writer that replaced the file by name would leave this descriptor on a lost one.
    struct stat written {};
    struct stat named {};
    if (::fstat(m_file.get(), &written) != 0 ||
        ::fstatat(m_folder.get(), name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        written.st_ino != named.st_ino || written.st_dev != named.st_dev) {
        throw base::Error("cannot write " + m_name + ": its temporary file " +
                          m_temporary.string() + " was replaced while it was written");
    }
    if (::fsync(m_file.get()) != 0 && errno != EINVAL) {
        throw base::Error(writeFailure(m_name, errno));
    }
    if (!m_companionSuffix.empty()) {
        // The side file describes the file it goes with: as private, and of the same owner.
        const struct stat* const old = m_replacing ? &m_old : nullptr;
        if (const int error = syncNamed(m_folder.get(), name + m_companionSuffix, old);
            error != 0) {
            throw base::Error(writeFailure(m_name + m_companionSuffix, error));
        }
    }
    if (const int error = m_replacing ? keepOwnerAndMode(m_file.get(), m_old) : 0; error != 0) {
        throw base::Error(writeFailure(m_name, error));
    }
    if (const int error = m_file.close(); error != 0) {
        throw base::Error(writeFailure(m_name, error));
    }
}

void ReplacingFile::finish() {
    m_stream.flush();
    checkWritten();
    syncAndKeepOwner();
}

void ReplacingFile::checkReplaceable() const {
    if (::faccessat(m_folder.get(), ".", W_OK | X_OK, AT_EACCESS) != 0) {
        throw base::Error(writeFailure(m_name, errno));
    }
    struct stat folder {};
    struct stat target {};
    if (::fstat(m_folder.get(), &folder) != 0 ||
        ::fstatat(m_folder.get(), m_target.filename().c_str(), &target, AT_SYMLINK_NOFOLLOW) != 0) {
        return; // a new file; or the rename will say why
    }
    if (S_ISDIR(target.st_mode)) {
        throw base::Error("cannot write " + m_name + ": it is a directory");
    }
    // In a sticky folder only the file's owner, the folder's, or root may replace it.
    const uid_t self = ::geteuid();
    if ((folder.st_mode & S_ISVTX) != 0 && self != 0 && target.st_uid != self &&
        folder.st_uid != self) {
        throw base::Error(writeFailure(m_name, EPERM));
    }
}

void ReplacingFile::place() {
    renameIntoPlace();
    removeScratch();
    m_committed = true;
    if (m_cleanup != nullptr) {
        m_cleanup->removeOnSignal(m_writer, {});
    }
}

void ReplacingFile::syncFolder() const {
    if (::fsync(m_folder.get()) != 0 && errno != EINVAL) {
        throw base::Error(writeFailure(m_name, errno));
    }
}

void ReplacingFile::commit() {
    commitTogether({this});
}

void commitTogether(const std::vector<ReplacingFile*>& files) {
    for (ReplacingFile* const file : files) {
        file->finish();
    }
    for (const ReplacingFile* const file : files) {
        file->checkReplaceable();
    }
    {
        // All renames or none, as far as a signal goes: no file stands without its companion
        // or the run's other files, and none is left behind.
        const InterruptionCleanup::Hold hold;
        for (ReplacingFile* const file : files) {
            file->place();
        }
    }
    for (const ReplacingFile* const file : files) {
        file->syncFolder();
    }
}

} // namespace talvo::cli
