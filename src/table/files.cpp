#include "table/files.h"

#include "table/error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <random>
#include <string>
#include <system_error>

namespace talvo::table {

namespace {

std::string reason(const std::filesystem::path& path, int error) {
    return "cannot write " + path.string() + ": " + std::strerror(error);
}

// The file a path names after following its symbolic links, existing or not.
std::filesystem::path linkTarget(std::filesystem::path path) {
    std::error_code error;
    for (int depth = 0;
         depth < 40 && std::filesystem::is_symlink(std::filesystem::symlink_status(path, error));
         ++depth) {
        const std::filesystem::path next = std::filesystem::read_symlink(path, error);
        if (error) {
            break;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
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

InputFile::InputFile(const std::string& path) : m_standard(std::cin), m_name(path) {
    if (path == "-") {
        m_name = "standard input";
        return;
    }
    std::error_code ignored;
    const auto status = std::filesystem::status(path, ignored);
    if (std::filesystem::is_directory(status)) {
        throw Error("cannot read " + path + ": it is a directory");
    }
    errno = 0;
    m_file.open(path, std::ios::binary);
    if (!m_file) {
        throw Error("cannot read " + path + ": " + std::strerror(errno != 0 ? errno : EIO));
    }
    if (std::filesystem::is_regular_file(status)) {
        m_size = std::filesystem::file_size(path, ignored);
    }
}

OutputFile::OutputFile(const std::string& path, const InputFile& input) : m_path(path) {
    if (path.empty() || path == "-") {
        return;
    }
    std::error_code ignored;
    // Replacing the table being read would lose the user's data if they meant otherwise.
    if (input.isFile() && std::filesystem::equivalent(input.name(), path, ignored)) {
        throw Error("--output " + path + " is the input file: write the results to another file");
    }
    const auto status = std::filesystem::status(path, ignored);
    if (std::filesystem::is_directory(status)) {
        throw Error("cannot write " + path + ": it is a directory");
    }
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        errno = 0;
        m_device.open(path, std::ios::binary);
        if (!m_device) {
            throw Error(reason(path, errno != 0 ? errno : EIO));
        }
        return;
    }
    m_replacing.emplace(linkTarget(path));
}

std::ostream& OutputFile::stream() {
    if (m_replacing) {
        return m_replacing->stream();
    }
    if (m_device.is_open()) {
        return m_device;
    }
    return std::cout;
}

std::filesystem::path OutputFile::temporaryPath() const {
    return m_replacing ? m_replacing->temporaryPath() : std::filesystem::path();
}

void OutputFile::commit() {
    if (m_replacing) {
        m_replacing->commit();
    } else if (m_device.is_open()) {
        m_device.close();
        if (!m_device) {
            throw Error("cannot write " + m_path);
        }
    } else {
        std::cout.flush();
        if (!std::cout) {
            throw Error("cannot write the output");
        }
    }
}

} // namespace talvo::table
