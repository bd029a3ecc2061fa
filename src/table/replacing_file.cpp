#include "table/replacing_file.h"

#include "table/error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <system_error>

namespace talvo::table {

namespace {

std::string reason(const std::filesystem::path& path, int error) {
    return "cannot write " + path.string() + ": " + std::strerror(error);
}

} // namespace

ReplacingFile::ReplacingFile(std::filesystem::path target) : m_target(std::move(target)) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".";
        name += m_target.filename().string();
        name += '.';
        name += std::to_string(random());
        name += ".tmp";
        m_temporary = m_target;
        m_temporary.replace_filename(name);
        // "x": create it new, never reuse a file someone else holds.
        errno = 0;
        if (std::FILE* file = std::fopen(m_temporary.c_str(), "wx")) {
            std::fclose(file);
            m_stream.open(m_temporary, std::ios::binary | std::ios::trunc);
            if (!m_stream) {
                const int error = errno;
                std::filesystem::remove(m_temporary);
                throw Error(reason(m_target, error));
            }
            return;
        }
        if (errno != EEXIST) {
            throw Error(reason(m_target, errno));
        }
    }
    throw Error(reason(m_target, EEXIST));
}

ReplacingFile::~ReplacingFile() {
    if (!m_committed) {
        m_stream.close();
        std::error_code ignored;
        std::filesystem::remove(m_temporary, ignored);
    }
}

void ReplacingFile::commit() {
    m_stream.close();
    if (!m_stream) {
        throw Error(reason(m_target, errno != 0 ? errno : EIO));
    }
    std::error_code error;
    std::filesystem::rename(m_temporary, m_target, error);
    if (error) {
        throw Error("cannot write " + m_target.string() + ": " + error.message());
    }
    m_committed = true;
}

} // namespace talvo::table
