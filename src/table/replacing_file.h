#pragma once

#include "table/error.h"

#include <filesystem>
#include <fstream>
#include <ostream>

namespace talvo::table {

// Output that appears whole or not at all: written to a temporary file beside the target and
// renamed over it on commit(), so that a failed or interrupted run never leaves half a table
// where a script expects a whole one.
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

} // namespace talvo::table
