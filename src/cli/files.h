#pragma once

// Where a table comes from and where it goes, with the checks a user would expect before a
// long run starts and before its result replaces anything.

#include "cli/descriptor.h"
#include "cli/descriptor_buffer.h"
#include "cli/interruption.h"
#include "cli/replacing_file.h"

#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace talvo::cli {

// The input table: a file, or standard input for "-".
class InputFile {
public:
    // Throws Error when the file cannot be read.
    explicit InputFile(const std::string& path);

    std::istream& stream() { return m_stream; }
    // For messages: the path, or "standard input".
    const std::string& name() const { return m_name; }
    // What is read, a file or standard input.
    int descriptor() const { return m_descriptor; }
    // The size of a regular file, for showing progress; none for pipes and terminals.
    std::optional<std::uintmax_t> size() const;
    // After the run: throws Error when reading failed, or when a regular file changed size or
    // time of change while it was read, so that a table taken while another program was
    // still writing it is never passed off as the whole.
    void checkUnchanged() const;

private:
    struct State {
        std::uintmax_t size = 0;
        std::int64_t modifiedSeconds = 0;
        std::int64_t modifiedNanoseconds = 0;
        bool operator==(const State&) const = default;
    };
    std::optional<State> regularFileState() const;

    std::string m_name;
    Descriptor m_file;
    int m_descriptor = 0;
    InputBuffer m_buffer;
    std::istream m_stream;
    std::optional<State> m_start;
};

// An output: standard output for "", "-" and /dev/stdout, appended to as the shell opened
// it; a regular file (new or not) replaced whole on commit, through its symbolic links so
// that they stay; a device or pipe written directly, as there is nothing to replace and
// renaming over it would do harm.
class OutputFile {
public:
    // `option` names it in messages. Throws Error for a folder, for the input (a file or
    // standard input, written to or through standard output), or when it cannot be written
    // (see findOutput). With a `cleanup`, a signal removes the temporary file.
    OutputFile(const std::string& option, const std::string& path, const InputFile& input,
               InterruptionCleanup* cleanup = nullptr);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Standard output and devices get what was written even when the run failed, as a
    // pipe's reader expects; a replaced file is left as it was.
    ~OutputFile();

    std::ostream& stream();
    // Throws Error naming the output and the system's reason when a write has failed.
    void checkWritten() const;
    // Throws Error when the output cannot be completed.
    void commit();
    // Whether both write one file, or both standard output.
    bool isSameFile(const OutputFile& other) const;

private:
    friend class OutputFiles;

    struct FileId {
        dev_t device = 0;
        ino_t inode = 0;
        bool operator==(const FileId&) const = default;
    };

    std::string m_name;
    bool m_standardOutput = false;
    std::filesystem::path m_path;    // a regular file's, links followed
    std::optional<FileId> m_regular; // an existing regular file's
    std::optional<ReplacingFile> m_replacing;
    Descriptor m_device;
    OutputBuffer m_direct;
    std::ostream m_directStream;
};

// The files one run writes, with standard output and devices: none is replaced until every
// one is complete, and a signal removes every temporary file.
class OutputFiles {
public:
    OutputFiles(const InputFile& input, InterruptionCleanup& cleanup);

    // Throws Error as OutputFile does, and when another output names the same file: one
    // would silently replace the other.
    OutputFile& add(const std::string& option, const std::string& path);
    // Throws Error when any output cannot be completed; then no file is replaced.
    void commit();

private:
    const InputFile& m_input;
    InterruptionCleanup& m_cleanup;
    std::vector<std::pair<std::string, std::unique_ptr<OutputFile>>> m_files; // with option
};

} // namespace talvo::cli
