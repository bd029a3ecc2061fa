#include "table/files.h"
#include "table/interruption.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <sys/resource.h>

namespace talvo::table {
namespace {

namespace fs = std::filesystem;

// Each case runs in a child process (a death test), as it ends by a signal or changes the
// process's signal actions.
class InterruptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() /
                   ("talvo-interruption-" +
                    std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
        std::ofstream(m_folder / "out.csv") << "old table\n";
    }
    void TearDown() override { fs::remove_all(m_folder); }

    // What is left in the folder: the old table, and nothing else.
    void expectOnlyTheOldTable() const {
        EXPECT_EQ(std::distance(fs::directory_iterator(m_folder), fs::directory_iterator()), 1);
        std::ifstream in(m_folder / "out.csv");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old table\n");
    }

    fs::path m_folder;
};

// The signal removes the half-written file and still ends the process as it would have; one
// held back while the file was being created is let through once it is named.
TEST_F(InterruptionTest, SignalRemovesTheTemporaryFileAndEndsTheRun) {
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
            expectOnlyTheOldTable();
        }
    }
}

// nohup works by ignoring SIGHUP; a run started under it must outlive the logout.
TEST_F(InterruptionTest, InheritedIgnoredSignalStaysIgnored) {
    EXPECT_EXIT(
        {
            std::signal(SIGHUP, SIG_IGN);
            InterruptionCleanup cleanup;
            ReplacingFile file(m_folder / "out.csv", {}, &cleanup);
            std::raise(SIGHUP);
            file.stream() << "new table\n";
            file.commit();
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    std::ifstream in(m_folder / "out.csv");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new table\n");
}

// Beyond `ulimit -f` the write fails with a reason instead of SIGXFSZ ending the process and
// leaving the temporary file behind. Exits 0 when the reason is right.
[[noreturn]] void writeBeyondTheFileSizeLimit(const fs::path& target) {
    InterruptionCleanup cleanup;
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = 4096;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
        ReplacingFile file(target);
        file.stream() << std::string(std::size_t{1} << 20, 'x');
        file.commit();
    } catch (const Error& error) {
        std::exit(error.what() == "cannot write " + target.string() + ": File too large" ? 0 : 1);
    }
    std::exit(2);
}

TEST_F(InterruptionTest, FileSizeLimitIsAnErrorNotASignal) {
    EXPECT_EXIT(writeBeyondTheFileSizeLimit(m_folder / "out.csv"), ::testing::ExitedWithCode(0),
                "");
    expectOnlyTheOldTable();
}

} // namespace
} // namespace talvo::table
