// talvo-map at the edges: outputs that are no plain file, links, modes and owners, and a
// system that refuses threads or memory. Each run ends in a whole map or in one line with
// status 2, never in a hang, a crash or a file left behind.

#include "map/map_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace talvo::map::test {
namespace {

std::string statusText(const fs::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return "none";
    }
    return std::to_string(status.st_mode & 0170777U) + " " + std::to_string(status.st_uid) + ":" +
           std::to_string(status.st_gid);
}

bool isRoot() {
    return ::geteuid() == 0;
}

struct SmallSoils {
    fs::path folder;
    std::vector<std::string> arguments; // --model and the inputs; --output comes after
};

SmallSoils smallSoils(const fs::path& folder) {
    writeRaster(folder / "a.tif", RasterLayout{}, std::vector<double>(std::size_t{40} * 30, 300));
    // Others may write here: the runs of another user below, and their links.
    fs::permissions(folder, fs::perms::all | fs::perms::sticky_bit);
    return {folder,
            {"--model", "0", "--scale", "sand=0.1,clay=0.1", "--sand", (folder / "a.tif").string(),
             "--clay", (folder / "a.tif").string()}};
}

// A folder of its own under the system's temporary folder, which every user may enter; removed
// with everything in it when the test ends.
struct SharedFolder {
    fs::path folder;

    explicit SharedFolder(const std::string& name)
        : folder(fs::temp_directory_path() /
                 ("talvo-map-" + name + "-" + std::to_string(::getpid()))) {
        fs::remove_all(folder);
        fs::create_directory(folder);
    }
    SharedFolder(const SharedFolder&) = delete;
    SharedFolder& operator=(const SharedFolder&) = delete;
    ~SharedFolder() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

// Where the map goes: a device or a pipe is refused and stays as it was (GDAL must seek in
// what it writes); a link leads to the file it names, which is replaced with its side file
// while the link stays; a link another user owns in a shared sticky folder is refused, as the
// kernel would refuse it; a replaced map keeps its mode and owner.
TEST(EdgesTest, TheMapGoesOnlyWhereItShould) {
    const SmallSoils soils = smallSoils(testFolder("targets"));
    const fs::path& folder = soils.folder;
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0644), 0);
    fs::create_directory(folder / "maps");
    fs::create_symlink("maps/linked.tif", folder / "link.tif");
    fs::create_symlink(folder / "maps/theirs.tif", folder / "theirs.tif");
    std::ofstream(folder / "kept.tif") << "old map";
    fs::permissions(folder / "kept.tif",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    if (isRoot()) {
        ASSERT_EQ(::mknod((folder / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
        ASSERT_EQ(::lchown((folder / "theirs.tif").c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chown((folder / "kept.tif").c_str(), 65534, 65534), 0);
    }
    const std::string notAFile = ": it is not a regular file, and a GeoTIFF must be written to one";
    struct Case {
        std::string output;
        std::string message; // empty: written
        fs::path written;    // where the map lands
        bool needsRoot = false;
    };
    const std::vector<Case> cases{
        {(folder / "fifo").string(), "cannot write " + (folder / "fifo").string() + notAFile, {}},
        {(folder / "null").string(),
         "cannot write " + (folder / "null").string() + notAFile,
         {},
         true},
        {(folder / "link.tif").string(), "", folder / "maps/linked.tif", false},
        {(folder / "theirs.tif").string(),
         "cannot write " + (folder / "theirs.tif").string() +
             ": it is a symbolic link that another user owns in the shared folder " +
             folder.string() + ", which the system does not follow",
         {},
         true},
        {(folder / "kept.tif").string(), "", folder / "kept.tif", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        if (c.needsRoot && !isRoot()) {
            continue;
        }
        const std::string before = statusText(c.output);
        const Outcome outcome = runMap(soils.arguments, {"--output", c.output});
        EXPECT_EQ(leftovers(folder), std::vector<std::string>{});
        EXPECT_EQ(leftovers(folder / "maps"), std::vector<std::string>{});
        if (!c.message.empty()) {
            EXPECT_EQ(outcome.status, 2);
            EXPECT_EQ(outcome.errorText, "talvo-map: " + c.message);
            EXPECT_EQ(statusText(c.output), before);
            continue;
        }
        EXPECT_EQ(outcome.status, 0) << outcome.errorText;
        EXPECT_EQ(statusText(c.output), before); // the link, or the map's mode and owner
        EXPECT_EQ(readBands(c.written).size(), 5U);
        fs::path sidecar = c.written;
        EXPECT_TRUE(fs::exists(sidecar += ".aux.xml"));
    }
    const std::string kept = statusText(folder / "kept.tif");
    EXPECT_EQ(kept.substr(0, kept.find(' ')), std::to_string(S_IFREG | 0640));
    if (!isRoot()) {
        GTEST_SKIP() << "a device node and another user's files need root";
    }
}

// A full disk is named as the system names it, and leaves nothing behind: a small file system
// of its own, mounted for the run alone (root only).
TEST(EdgesTest, AFullDiskSaysSo) {
    if (!isRoot()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    const Soils soils = makeSoils("full", 300, 300);
    const fs::path disk = soils.folder / "disk";
    fs::create_directory(disk);
    const std::string out = (disk / "out.tif").string();
    // The listing of the small disk after the run, on standard error: it must be empty.
    const Outcome outcome =
        runProgram(TALVO_MAP_EXE, soils.inputs(),
                   "unshare -m sh -c 'mount -t tmpfs -o size=8k tmpfs " + disk.string() +
                       R"( || exit 77; "$0" "$@" --model 0 --soilgrids --output )" + out +
                       "; s=$?; ls -A " + disk.string() + " >&2; exit $s' ");
    if (outcome.status == 77) {
        GTEST_SKIP() << "no mount here: " << outcome.errorText;
    }
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.errorText, "talvo-map: cannot write " + out + ": No space left on device");
}

// A node's limits: a thread the system refuses (ulimit -u, as an unprivileged user: root is
// exempt) and address space it refuses (ulimit -v, over a sweep, as allocations fall in
// different places) end the run in one line with status 2 and no file left, or the map is
// whole. Never a hang: GDAL waits for ever on a compression thread it could not start.
TEST(EdgesTest, ScarceThreadsAndMemoryEndInOneLine) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer reserves address space and threads of its own";
#endif
    // Another user runs the tool below: a copy of it and the soils go where every user may
    // reach them, as the build may lie in a folder that only its owner enters (as root's home).
    const SharedFolder shared("limits");
    const SmallSoils soils = smallSoils(shared.folder);
    const std::string tool = (shared.folder / "talvo-map").string();
    fs::copy_file(TALVO_MAP_EXE, tool);
    const std::string out = (soils.folder / "out.tif").string();
    if (isRoot()) {
        const Outcome outcome =
            runProgram(tool, soils.arguments,
                       "setpriv --reuid=65534 --regid=65534 --clear-groups bash -c 'ulimit -u 3; "
                       "exec timeout 120 \"$0\" \"$@\" --threads 4 --output " +
                           out + "' ");
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.errorText,
                  "talvo-map: the system refused to start 9 threads (4 to estimate, 1 to read, 4 "
                  "to compress): Resource temporarily unavailable; give fewer with --threads");
        EXPECT_FALSE(fs::exists(out));
        EXPECT_EQ(leftovers(soils.folder), std::vector<std::string>{});
    }
    int written = 0;
    int refused = 0;
    std::vector<std::string> arguments = soils.arguments;
    arguments.insert(arguments.end(), {"--threads", "2", "--output", out});
    for (int megabytes = 150; megabytes <= 700; megabytes += 25) {
        SCOPED_TRACE(megabytes);
        fs::remove(out);
        const Outcome outcome = runProgram(
            tool, arguments, "ulimit -v " + std::to_string(megabytes * 1024) + "; timeout 120 ");
        EXPECT_EQ(leftovers(soils.folder), std::vector<std::string>{});
        if (outcome.status == 0) {
            ++written;
            EXPECT_EQ(readBands(out).size(), 5U);
            continue;
        }
        if (outcome.errorText.find("error while loading shared libraries") != std::string::npos) {
            continue; // the lowest limits stop the loader, before the tool runs
        }
        ++refused;
        EXPECT_EQ(outcome.status, 2) << outcome.errorText;
        EXPECT_EQ(outcome.errorText.rfind("talvo-map: ", 0), 0U) << outcome.errorText;
        EXPECT_EQ(outcome.errorText.find('\n'), std::string::npos) << outcome.errorText;
        EXPECT_FALSE(fs::exists(out));
    }
    EXPECT_GT(written, 0);
    EXPECT_GT(refused, 0);
    if (!isRoot()) {
        GTEST_SKIP() << "a limit on threads binds an unprivileged user only";
    }
}

} // namespace
} // namespace talvo::map::test
