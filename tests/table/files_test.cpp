#include "table/files.h"
#include "table/interruption.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

    std::ptrdiff_t fileCount() const {
        return std::distance(fs::directory_iterator(m_folder), fs::directory_iterator());
    }
    static std::string contents(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path m_folder;
};

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "(no error)";
}

mode_t modeOf(const fs::path& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777U;
}

// Points a standard descriptor at a file for the length of a test.
class Redirected {
public:
    Redirected(int standard, const fs::path& file, int flags)
        : m_standard(standard), m_saved(::dup(standard)) {
        const int opened = ::open(file.c_str(), flags | O_CLOEXEC);
        ::dup2(opened, standard);
        ::close(opened);
    }
    Redirected(const Redirected&) = delete;
    Redirected& operator=(const Redirected&) = delete;
    ~Redirected() {
        ::dup2(m_saved, m_standard);
        ::close(m_saved);
    }

private:
    int m_standard;
    int m_saved;
};

// Where --output ends up: the table lands in the file the user meant, and nothing else moves.
TEST_F(FilesTest, OutputGoesWhereTheUserMeant) {
    const fs::path input = m_folder / "soils.csv";
    std::ofstream(input) << "sand,clay\n";
    const fs::path data = m_folder / "data";
    fs::create_directories(data);
    fs::create_symlink("data/results.csv", m_folder / "results.csv");
    InputFile in(input.string());

    { // through a link: the file it names is written, the link stays a link
        OutputFile out((m_folder / "results.csv").string(), in);
        out.stream() << "table\n";
        out.commit();
    }
    EXPECT_TRUE(fs::is_symlink(m_folder / "results.csv"));
    EXPECT_EQ(contents(data / "results.csv"), "table\n");

    { // a device is written directly, never replaced
        OutputFile out("/dev/null", in);
        EXPECT_TRUE(out.temporaryPath().empty());
        out.stream() << "table\n";
        out.commit();
    }
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    EXPECT_EQ(contents(input), "sand,clay\n");
}

// A user who made a file private keeps it private; one who made it read-only keeps it, root
// included, rather than finding it silently replaced.
TEST_F(FilesTest, KeepsTheModeAndRefusesAReadOnlyFile) {
    struct Case {
        mode_t mode;
        bool replaced;
    };
    for (const Case& c : std::array<Case, 5>{
             {{0600, true}, {0640, true}, {0755, true}, {0444, false}, {0000, false}}}) {
        SCOPED_TRACE(c.mode);
        const fs::path target = m_folder / "out.csv";
        fs::remove(target);
        std::ofstream(target) << "old table\n";
        ::chmod(target.c_str(), c.mode);
        const std::string message = messageOf([&] {
            ReplacingFile file(target);
            file.stream() << "new table\n";
            file.commit();
        });
        EXPECT_EQ(message, c.replaced ? "(no error)"
                                      : "cannot write " + target.string() + ": Permission denied");
        EXPECT_EQ(modeOf(target), c.mode);
        EXPECT_EQ(contents(target), c.replaced ? "new table\n" : "old table\n");
        EXPECT_EQ(fileCount(), 1);
    }
}

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

// Device and inode decide, not the name: a link or standard input is the same file.
TEST_F(FilesTest, RecognisesTheSameFileByDescriptor) {
    const fs::path input = m_folder / "soils.csv";
    std::ofstream(input) << "sand,clay\n";
    std::ofstream(m_folder / "copy.csv") << "sand,clay\n";
    fs::create_symlink("soils.csv", m_folder / "link.csv");
    const int descriptor = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);

    EXPECT_TRUE(isSameRegularFile(descriptor, input));
    EXPECT_TRUE(isSameRegularFile(descriptor, m_folder / "link.csv"));
    EXPECT_FALSE(isSameRegularFile(descriptor, m_folder / "copy.csv"));
    EXPECT_FALSE(isSameRegularFile(descriptor, m_folder / "missing.csv"));
    EXPECT_FALSE(isSameRegularFile(null, "/dev/null")); // may be input and output at once
    ::close(descriptor);
    ::close(null);

    const Redirected standardInput(STDIN_FILENO, input, O_RDONLY);
    const InputFile in("-");
    EXPECT_EQ(messageOf([&] { OutputFile(input.string(), in); }),
              "--output " + input.string() +
                  " is the input file: write the results to another file");
    EXPECT_EQ(contents(input), "sand,clay\n");
}

// A read that fails ends the stream like the end of the input does; it must not pass for it.
TEST_F(FilesTest, ReadFailureIsNotTheEndOfTheInput) {
    const fs::path path = m_folder / "soils.csv";
    std::ofstream(path) << "sand,clay\n";
    const Redirected standardInput(STDIN_FILENO, path, O_WRONLY); // reads fail: EBADF
    InputFile in("-");
    in.stream().ignore(std::numeric_limits<std::streamsize>::max());
    EXPECT_EQ(messageOf([&] { in.checkUnchanged(); }),
              "cannot read standard input: Bad file descriptor");
}

// Every failure names the file and the system's own reason.
TEST_F(FilesTest, MessagesNameTheFileAndTheReason) {
    const fs::path input = m_folder / "soils.csv";
    std::ofstream(input) << "sand,clay\n";
    const InputFile in(input.string());
    const auto writeAll = [&](const std::string& output) {
        return messageOf([&] {
            OutputFile out(output, in);
            for (int i = 0; i < 10000; ++i) {
                out.stream() << "a row of the table\n";
            }
            out.checkWritten();
            out.commit();
        });
    };
    const std::string missing = (m_folder / "missing" / "out.csv").string();
    EXPECT_EQ(writeAll("/dev/full"), "cannot write /dev/full: No space left on device");
    EXPECT_EQ(writeAll("/proc/version"), "cannot write /proc/version: Permission denied");
    EXPECT_EQ(writeAll(missing), "cannot write " + missing + ": No such file or directory");
    std::cout.flush();
    const Redirected standardOutput(STDOUT_FILENO, "/dev/full", O_WRONLY);
    EXPECT_EQ(writeAll("-"), "cannot write standard output: No space left on device");
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
            EXPECT_EQ(fileCount(), 1);
            EXPECT_EQ(contents(m_folder / "out.csv"), "old table\n");
        }
    }
}

} // namespace
} // namespace talvo::table
