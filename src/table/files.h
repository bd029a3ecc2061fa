#pragma once

// Where a table comes from and where it goes, with the checks a user would expect before a
// long run starts.

#include "table/error.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <istream>
#include <optional>
#include <ostream>
#include <string>

namespace talvo::table {

// A file written to a temporary file beside the target and renamed over it on commit(), so
// that a failed or interrupted run never leaves half a table where a script expects a whole.
class ReplacingFile {
public:
    // Throws Error when the temporary file cannot be created.
    explicit ReplacingFile(std::filesystem::path target);
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    // Removes the temporary file unless committed.
    ~ReplacingFile();

    std::ostream& stream() { return m_stream; }
    const std::filesystem::path& temporaryPath() const { return m_temporary; }
    // Throws Error when the file cannot be completed or renamed.
    void commit();

private:
    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    std::ofstream m_stream;
    bool m_committed = false;
};

// The input table: a file, or standard input for "-".
class InputFile {
public:
    // Throws Error when the file cannot be read.
    explicit InputFile(const std::string& path);

    std::istream& stream() { return m_file.is_open() ? m_file : m_standard; }
    // For messages: the path, or "standard input".
    const std::string& name() const { return m_name; }
    bool isFile() const { return m_file.is_open(); }
    // The size of a regular file, for showing progress; none for pipes and terminals.
    std::optional<std::uintmax_t> size() const { return m_size; }

private:
    std::istream& m_standard;
    std::ifstream m_file;
    std::string m_name;
    std::optional<std::uintmax_t> m_size;
};

// The output table: standard output for "" or "-"; a regular file (new or not) replaced whole
// on commit, through its symbolic links so that they stay; a device or pipe written directly,
// as there is nothing to replace and renaming over it would do harm.
class OutputFile {
public:
    // Throws Error for a folder, for the input file itself, or when it cannot be written.
    OutputFile(const std::string& path, const InputFile& input);

    std::ostream& stream();
    // The temporary file while a regular file is written; empty otherwise.
    std::filesystem::path temporaryPath() const;
    // Throws Error when the output cannot be completed.
    void commit();

private:
    std::string m_path;
    std::optional<ReplacingFile> m_replacing;
    std::ofstream m_device;
};

} // namespace talvo::table
