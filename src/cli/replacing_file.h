#pragma once

// Writing a tool's output so that a failed or interrupted run never leaves half a file where a
// script expects a whole one.

#include "cli/descriptor.h"
#include "cli/descriptor_buffer.h"
#include "cli/interruption.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace talvo::cli {

// Where an output path leads, found before anything is written.
struct OutputTarget {
    enum class Kind {
        file,      // a regular file, new or not: replaced whole
        stream,    // a device, pipe or socket: written through, as there is nothing to replace
        descriptor // one the process holds open (/dev/stdout): written through, appended
    };
    Kind kind = Kind::file;
    // The file itself, absolute, every symbolic link on the way followed; the links stay.
    std::filesystem::path path;
    // For Kind::descriptor.
    int descriptor = -1;
};

// "cannot write NAME: " and the system's reason for `error`.
std::string writeFailure(const std::string& name, int error);

// Throws Error for an empty path, a folder, and a symbolic link, final or a folder on the
// way, that the kernel itself would not follow: one in a shared sticky folder (such as /tmp)
// owned by neither the caller nor the folder's owner, which could point root at another
// user's file.
OutputTarget findOutput(const std::string& path);

// A file written to a temporary file beside the target and renamed over it on commit(). The
// new file keeps the old one's mode, and its owner and group where the process may set them;
// a file its owner made read-only is refused. Messages name the file as `name`.
// With a `cleanup`, a signal removes the temporary files from the moment they exist.
class ReplacingFile {
public:
    // `tool` begins the temporary file's name. Throws Error when the target may not be
    // written or the temporary file not created.
    ReplacingFile(std::filesystem::path target, std::string_view tool, std::string name = {},
                  InterruptionCleanup* cleanup = nullptr);
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    // Removes the temporary files unless committed.
    ~ReplacingFile();

    std::ostream& stream() { return m_stream; }
    // Beside the target: ".<tool>.<target name, shortened to leave room for suffixes>.<16 hex
    // digits>.tmp". A writer that opens it by name must write into this file, not replace it.
    const std::filesystem::path& temporaryPath() const { return m_temporary; }
    // A file that a writer puts beside the temporary one, named as it plus `suffix` (a map's
    // ".aux.xml"). It is removed with it, and is in place before the target is: an old one
    // is removed when there is no new one, as it describes the old file.
    void addCompanion(std::string suffix);
    // A file the writer works in on its way to the temporary one, named as the temporary one
    // plus `suffix` (a map copied into its final layout), with a companion of its own where
    // one was added. Never renamed: removed by commit(), on failure and by a signal.
    std::filesystem::path addScratch(std::string suffix);
    // Throws Error naming the file and the system's reason when a write has failed.
    void checkWritten() const;
    // Writes the rest, syncs the files to disk, renames them over the target, its companion
    // first, and syncs the folder, so that after a crash the folder holds the old file or the
    // whole new one. A failed rename leaves the old file with its old companion. Throws Error
    // when any of it fails.
    void commit();
    // Removes the target and then its companion instead of replacing them, where the writer
    // has nothing to write; the temporary files go too. Returns whether there was a target.
    // Throws Error when the removal fails.
    bool removeTarget();

    // commit() in steps, for files that are put in place together (commitTogether).
    // Writes the rest and syncs it, with the old file's mode and owner. Throws Error.
    void finish();
    // Throws Error when the rename would be refused as far as can be known before it: the
    // folder may no longer be written, or the target has become a folder.
    void checkReplaceable() const;
    // Renames the files into place; call within a Hold. Throws Error.
    void place();
    // Throws Error when the folder cannot be synced.
    void syncFolder() const;

private:
    void create(std::string_view tool);
    void syncAndKeepOwner();
    void renameIntoPlace();
    // Closes and removes the temporary files.
    void discard();
    // The files a signal is to remove now.
    void nameForRemoval() const;
    void removeScratch() const;

    std::filesystem::path m_target;
    std::string m_name;
    InterruptionCleanup* m_cleanup;
    InterruptionCleanup::Writer m_writer = 0; // with m_cleanup
    std::filesystem::path m_temporary;
    std::string m_companionSuffix;
    std::string m_scratchSuffix;
    Descriptor m_folder;
    Descriptor m_file;
    OutputBuffer m_buffer;
    std::ostream m_stream;
    bool m_replacing = false;
    struct stat m_old {}; // the file replaced, when m_replacing
    bool m_committed = false;
};

// Every file complete and checked before the first is renamed, and all renamed under one
// Hold, so that a failure or a signal leaves all the old files or, as far as the system
// allows, all the new ones. Throws Error.
void commitTogether(const std::vector<ReplacingFile*>& files);

} // namespace talvo::cli
