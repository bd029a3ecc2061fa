#include "base/error.h"
#include "cli/interruption.h"
#include "cli/replacing_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <pthread.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace talvo::cli {
namespace {

namespace fs = std::filesystem;

class ReplacingFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() /
                   ("talvo-cli-" +
                    std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    static std::string contents(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(m_folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_folder;
};

// The temporary file's name fits in NAME_MAX whatever the target's, with the suffixes a writer
// adds to it, is cut between characters and still says what it is: a leftover after SIGKILL
// must be traceable.
TEST_F(ReplacingFileTest, TemporaryNameFitsAndSaysWhatItIs) {
    std::string accented;
    for (int i = 0; i < 127; ++i) {
        accented += "\xC3\xA9"; // 254 bytes of two-byte characters
    }
    for (const std::string& name : {std::string("out.csv"), std::string(221, 'a'),
                                    std::string(244, 'b'), std::string(255, 'c'), accented}) {
        SCOPED_TRACE(name.size());
        const fs::path target = m_folder / name;
        ReplacingFile file(target, "talvo-batch");
        const std::string temporary = file.temporaryPath().filename().string();
        EXPECT_LE(temporary.size() + std::string(".tiled.tif.aux.xml").size(), 255U);
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

// A companion written beside the temporary file takes its place with it; without a new one,
// the old file's companion goes, as it describes the old file. Uncommitted, both vanish.
TEST_F(ReplacingFileTest, CompanionGoesWithTheFile) {
    const fs::path map = m_folder / "map.tif";
    for (const bool written : {true, false}) {
        SCOPED_TRACE(written);
        std::ofstream(map) << "old map";
        std::ofstream(m_folder / "map.tif.aux.xml") << "old classes";
        {
            ReplacingFile file(map, "talvo-map");
            file.addCompanion(".aux.xml");
            fs::path companion = file.temporaryPath();
            std::ofstream(companion += ".aux.xml") << "new classes";
        }
        EXPECT_EQ(files(), (std::vector<std::string>{"map.tif", "map.tif.aux.xml"}));
        EXPECT_EQ(contents(m_folder / "map.tif.aux.xml"), "old classes");

        ReplacingFile file(map, "talvo-map");
        file.addCompanion(".aux.xml");
        std::ofstream(file.temporaryPath()) << "new map"; // by name, as GDAL writes
        if (written) {
            fs::path companion = file.temporaryPath();
            std::ofstream(companion += ".aux.xml") << "new classes";
        }
        file.commit();
        EXPECT_EQ(contents(map), "new map");
        const std::vector<std::string> both{"map.tif", "map.tif.aux.xml"};
        EXPECT_EQ(files(), written ? both : std::vector<std::string>{"map.tif"});
        if (written) {
            EXPECT_EQ(contents(m_folder / "map.tif.aux.xml"), "new classes");
        }
    }
}

// A rename of the file that fails after its companion's puts the old companion back, and the
// new one takes the old file's mode: the pair stays as it was, or is whole and as private.
TEST_F(ReplacingFileTest, CompanionStaysWithItsFile) {
    const fs::path map = m_folder / "map.tif";
    const fs::path companion = m_folder / "map.tif.aux.xml";
    for (const bool renamed : {false, true}) {
        SCOPED_TRACE(renamed);
        fs::remove_all(map);
        std::ofstream(map) << "old map";
        std::ofstream(companion) << "old classes";
        fs::permissions(map, fs::perms::owner_read | fs::perms::owner_write);
        ReplacingFile file(map, "talvo-map");
        file.addCompanion(".aux.xml");
        std::ofstream(file.temporaryPath()) << "new map";
        fs::path written = file.temporaryPath();
        std::ofstream(written += ".aux.xml") << "new classes";
        if (!renamed) {
            // What may not be replaced: a folder that took the map's place.
            fs::remove(map);
            fs::create_directories(map / "in");
            EXPECT_THROW(file.commit(), base::Error);
            EXPECT_EQ(contents(companion), "old classes");
            continue;
        }
        file.commit();
        EXPECT_EQ(contents(companion), "new classes");
        EXPECT_EQ(fs::status(companion).permissions(), fs::status(map).permissions());
        EXPECT_EQ(files(), (std::vector<std::string>{"map.tif", "map.tif.aux.xml"}));
    }
}

// Where an output path leads: through links to the file they name, a device or pipe written
// through, a folder refused. A link another user owns in a shared sticky folder is refused
// as the kernel refuses it: root's output would otherwise land wherever that user points.
TEST_F(ReplacingFileTest, FindsWhereTheOutputLeads) {
    fs::create_directory(m_folder / "data");
    fs::create_symlink("data/out.csv", m_folder / "link.csv");
    fs::create_symlink("link.csv", m_folder / "chain.csv");
    fs::create_symlink("data", m_folder / "folder-link");
    ASSERT_EQ(::mkfifo((m_folder / "fifo").c_str(), 0600), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::mknod((m_folder / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
    }
    // A shared folder as /tmp is, with links of another user and of the folder's owner.
    const fs::path shared = m_folder / "shared";
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    fs::create_symlink(m_folder / "data/theirs.csv", shared / "theirs.csv");
    fs::create_symlink(m_folder / "data/own.csv", shared / "own.csv");
    fs::create_symlink(m_folder / "data", shared / "their-folder");
    if (root) {
        ASSERT_EQ(::lchown((shared / "theirs.csv").c_str(), 65534, 65534), 0);
        ASSERT_EQ(::lchown((shared / "their-folder").c_str(), 65534, 65534), 0);
    }

    using Kind = OutputTarget::Kind;
    struct Case {
        fs::path path;
        std::optional<Kind> kind; // none: refused
        fs::path leadsTo;
        bool needsRoot = false;
    };
    const std::vector<Case> cases{
        {m_folder / "new.csv", Kind::file, m_folder / "new.csv"},
        {m_folder / "link.csv", Kind::file, m_folder / "data/out.csv"},
        {m_folder / "chain.csv", Kind::file, m_folder / "data/out.csv"},
        {m_folder / "folder-link/new.csv", Kind::file, m_folder / "data/new.csv"},
        // ".." after a link leaves the folder it leads to, as the kernel goes.
        {m_folder / "folder-link/../link.csv", Kind::file, m_folder / "data/out.csv"},
        {m_folder / "data/../folder-link/./new.csv", Kind::file, m_folder / "data/new.csv"},
        {"/dev/stdout", Kind::descriptor, {}},
        {m_folder / "fifo", Kind::stream, m_folder / "fifo"},
        {m_folder / "null", Kind::stream, m_folder / "null", true},
        {shared / "own.csv", Kind::file, m_folder / "data/own.csv"},
        {shared / "theirs.csv", std::nullopt, {}, true},
        {shared / "their-folder/new.csv", std::nullopt, {}, true},
        {m_folder / "data", std::nullopt, {}},
        {"", std::nullopt, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        if (c.needsRoot && !root) {
            continue;
        }
        if (!c.kind) {
            EXPECT_THROW(findOutput(c.path), base::Error);
            continue;
        }
        const OutputTarget target = findOutput(c.path);
        EXPECT_EQ(target.kind, *c.kind);
        if (target.kind == Kind::descriptor) {
            EXPECT_EQ(target.descriptor, STDOUT_FILENO);
        } else {
            EXPECT_EQ(target.path, c.leadsTo);
        }
    }
    if (!root) {
        GTEST_SKIP() << "a device node and another user's link need root";
    }
}

// Every signal whose default action ends the process removes the half-written file and its
// companion and still ends the process as it would have; one held back while the file was
// being created is let through once it is named. Each case runs in a child process.
using ReplacingFileDeathTest = ReplacingFileTest;

void endBy(int signal) {
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore); // SIGQUIT, SIGSEGV and others would dump one
    std::raise(signal);
}

TEST_F(ReplacingFileDeathTest, EverySignalRemovesTheTemporaryFiles) {
    std::ofstream(m_folder / "out.csv") << "old table\n";
    for (const int signal : InterruptionCleanup::handledSignals()) {
        if (signal == SIGXFSZ) {
            continue; // ignored: the write fails and is reported
        }
        SCOPED_TRACE(signal);
        // Held: sent while the file is created, when it is not yet named for removal.
        for (const bool held : {false, true}) {
            EXPECT_EXIT(
                {
                    std::signal(signal, SIG_DFL); // a background job inherits some ignored
                    InterruptionCleanup cleanup;
                    std::optional<InterruptionCleanup::Hold> hold;
                    if (held) {
                        hold.emplace();
                        std::raise(signal);
                        std::ofstream(m_folder / "held"); // still alive
                    }
                    ReplacingFile file(m_folder / "out.csv", "talvo-test", {}, &cleanup);
                    file.addCompanion(".aux.xml");
                    fs::path companion = file.temporaryPath();
                    std::ofstream(companion += ".aux.xml") << "classes";
                    file.stream() << "half a table" << std::flush;
                    // The run's second file, as a summary is.
                    ReplacingFile summary(m_folder / "summary.csv", "talvo-test", {}, &cleanup);
                    summary.stream() << "half a summary" << std::flush;
                    hold.reset();
                    endBy(signal);
                    std::exit(0);
                },
                ::testing::KilledBySignal(signal), "");
            EXPECT_EQ(fs::remove(m_folder / "held"), held);
            EXPECT_EQ(files(), std::vector<std::string>{"out.csv"});
            EXPECT_EQ(contents(m_folder / "out.csv"), "old table\n");
        }
    }
}

// Files put in place together: every one, or none when any could not be. A target that has
// become a folder is found before the first rename.
TEST_F(ReplacingFileTest, FilesAreReplacedTogetherOrNotAtAll) {
    struct Case {
        const char* what;
        bool summaryBecomesFolder;
    };
    for (const Case c : {Case{"both complete", false}, Case{"second refused", true}}) {
        SCOPED_TRACE(c.what);
        fs::remove_all(m_folder / "summary.csv");
        std::ofstream(m_folder / "table.csv") << "old table";
        std::ofstream(m_folder / "summary.csv") << "old summary";
        {
            ReplacingFile table(m_folder / "table.csv", "talvo-test");
            ReplacingFile summary(m_folder / "summary.csv", "talvo-test");
            table.stream() << "new table";
            summary.stream() << "new summary";
            if (c.summaryBecomesFolder) {
                fs::remove(m_folder / "summary.csv");
                fs::create_directory(m_folder / "summary.csv");
                EXPECT_THROW(commitTogether({&table, &summary}), base::Error);
            } else {
                commitTogether({&table, &summary});
            }
        }
        EXPECT_EQ(contents(m_folder / "table.csv"),
                  c.summaryBecomesFolder ? "old table" : "new table");
        if (!c.summaryBecomesFolder) {
            EXPECT_EQ(contents(m_folder / "summary.csv"), "new summary");
        }
        EXPECT_EQ(files(), (std::vector<std::string>{"summary.csv", "table.csv"}));
    }
}

// A signal inherited as ignored stays so: that is how nohup keeps a run alive.
TEST_F(ReplacingFileTest, AnIgnoredSignalStaysIgnored) {
    const auto previous = std::signal(SIGHUP, SIG_IGN);
    {
        InterruptionCleanup cleanup;
        ReplacingFile file(m_folder / "out.csv", "talvo-test", {}, &cleanup);
        std::raise(SIGHUP);
        // cppcheck-suppress unreachableCode ; raise() returns: the signal is ignored
        file.stream() << "whole table\n";
        file.commit();
    }
    std::signal(SIGHUP, previous);
    EXPECT_EQ(contents(m_folder / "out.csv"), "whole table\n");
}

// A signal taken by another thread while the files are renamed into place waits for the
// renames: it must not remove one of a pair that is half in place.
TEST_F(ReplacingFileDeathTest, ASignalWaitsForTheRenames) {
    EXPECT_EXIT(
        {
            InterruptionCleanup cleanup;
            ReplacingFile file(m_folder / "out.csv", "talvo-test", {}, &cleanup);
            file.stream() << "whole table\n" << std::flush;
            const fs::path temporary = file.temporaryPath();
            std::atomic<bool> holding{false};
            // Started before the hold, so that it takes signals.
            std::thread other([&holding] {
                while (!holding) {
                    std::this_thread::yield();
                }
                // The process is meant to end: it is what the test waits for.
                // NOLINTNEXTLINE(bugprone-bad-signal-to-kill-thread)
                ::pthread_kill(::pthread_self(), SIGTERM);
            });
            std::optional<InterruptionCleanup::Hold> hold;
            hold.emplace();
            holding = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            // Still there: the signal's thread is waiting.
            std::ofstream(m_folder / (fs::exists(temporary) ? "kept" : "removed"));
            file.place(); // as commit does, which names no file for removal once in place
            hold.reset();
            other.join(); // never returns: the signal ends the process
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGTERM), "");
    EXPECT_TRUE(fs::exists(m_folder / "kept"));
    EXPECT_EQ(files(), (std::vector<std::string>{"kept", "out.csv"}));
}

} // namespace
} // namespace talvo::cli
