#include "table/files.h"
#include "table/interruption.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace talvo::table {
namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() /
                   ("talvo-table-" +
                    std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    static std::string contents(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path m_folder;
};

// The temporary file's name fits in NAME_MAX whatever the target's, is cut between characters
// and still says what it is: a leftover after SIGKILL must be traceable.
TEST_F(FilesTest, TemporaryNameFitsAndSaysWhatItIs) {
    std::string accented;
    for (int i = 0; i < 127; ++i) {
        accented += "\xC3\xA9"; // 254 bytes of two-byte characters
    }
    for (const std::string& name : {std::string("out.csv"), std::string(221, 'a'),
                                    std::string(244, 'b'), std::string(255, 'c'), accented}) {
        SCOPED_TRACE(name.size());
        const fs::path target = m_folder / name;
        ReplacingFile file(target);
        const std::string temporary = file.temporaryPath().filename().string();
        EXPECT_LE(temporary.size(), 255U);
        EXPECT_EQ(temporary.rfind(".talvo-batch." + name.substr(0, 20), 0), 0U);
        EXPECT_EQ(temporary.substr(temporary.size() - 4), ".tmp");
        const std::size_t kept = temporary.size() - 13 - 21; // prefix, ".<16 hex>.tmp"
        EXPECT_EQ(temporary.substr(13, kept), name.substr(0, kept));
        EXPECT_NE(static_cast<unsigned char>(name[kept]) & 0xC0U, 0x80U);
        file.stream() << "table\n";
        file.commit();
        EXPECT_EQ(contents(target), "table\n");
    }
}

// The signal removes the half-written file and still ends the process as it would have; one
// held back while the file was being created is let through once it is named. Each case runs
// in a child process, as it ends by a signal.
using FilesDeathTest = FilesTest;

TEST_F(FilesDeathTest, SignalRemovesTheTemporaryFileAndEndsTheRun) {
    std::ofstream(m_folder / "out.csv") << "old table\n";
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        SCOPED_TRACE(signal);
        for (const bool held : {false, true}) {
            EXPECT_EXIT(
                {
                    InterruptionCleanup cleanup;
                    std::optional<InterruptionCleanup::Hold> hold;
                    if (held) {
                        hold.emplace();
                        std::raise(signal);
                        std::ofstream(m_folder / "held"); // still alive
                    }
                    ReplacingFile file(m_folder / "out.csv", {}, &cleanup);
                    file.stream() << "half a table" << std::flush;
                    hold.reset();
                    std::raise(signal);
                    std::exit(0);
                },
                ::testing::KilledBySignal(signal), "");
            EXPECT_EQ(fs::remove(m_folder / "held"), held);
            EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), {}), 1);
            EXPECT_EQ(contents(m_folder / "out.csv"), "old table\n");
        }
    }
}

} // namespace
} // namespace talvo::table
