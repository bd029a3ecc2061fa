// talvo-map at the edges: outputs that are no plain file, links, modes and owners, and a
// system that refuses threads or memory. Each run ends in a whole map or in one line with
// status 2, never in a hang, a crash or a file left behind.

#include "map/map_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
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
        EXPECT_EQ(statusText(sidecar), statusText(c.written)); // as private as the map
    }
    const std::string kept = statusText(folder / "kept.tif");
    EXPECT_EQ(kept.substr(0, kept.find(' ')), std::to_string(S_IFREG | 0640));
    if (!isRoot()) {
        GTEST_SKIP() << "a device node and another user's files need root";
    }
}

// The side file goes with the map. A tile without rows removes an earlier run's map and its
// side file, or refuses as a replacement would (a read-only map stays); names up to the
// system's limit work where the side file's name fits, and are refused before the run where
// it does not; a map whose rename fails keeps its own side file: here another user's map in a
// sticky folder, which the caller may write but not replace.
TEST(EdgesTest, TheSideFileFollowsTheMap) {
    // Another user runs the tool on one map: a copy of it and the soils go where every user
    // may reach them.
    const SharedFolder shared("side-files");
    const SmallSoils soils = smallSoils(shared.folder);
    const std::string tool = (shared.folder / "talvo-map").string();
    fs::copy_file(TALVO_MAP_EXE, tool);
    const fs::path& folder = soils.folder;
    const auto sideFile = [](fs::path map) { return map += ".aux.xml"; };
    const auto contents = [](const fs::path& path) {
        std::ifstream file(path);
        return file ? std::string(std::istreambuf_iterator<char>(file), {}) : "none";
    };
    struct Case {
        std::string name;                 // of the map, in the folder
        std::vector<std::string> options; // beyond the inputs and --output
        bool old;                         // an earlier map and side file are there
        std::string message;              // empty: written
        bool needsRoot = false;
    };
    const std::string removed = "talvo-map: tile 1/2 has no rows of this map of 30 rows: ";
    const std::string longest = std::string(247 - 4, 'n') + ".tif";
    const std::string tooLong = std::string(248 - 4, 'n') + ".tif";
    const std::vector<Case> cases{
        {"empty.tif", {"--tile", "1/2"}, true, removed + "@ not written, and the old one removed"},
        {"none.tif", {"--tile", "1/2"}, false, removed + "@ not written"},
        {"kept.tif", {"--tile", "1/2"}, true, "talvo-map: cannot write @: Permission denied"},
        {std::string(219 - 4, 'm') + ".tif", {}, true, ""},
        {longest, {"--cog"}, true, ""},
        {tooLong,
         {},
         false,
         "talvo-map: cannot write @: its side file @.aux.xml, which names the texture classes, "
         "would have a name longer than the 255 bytes a file's name may have: give a shorter "
         "name"},
        {"theirs.tif", {"--cog"}, true, "talvo-map: cannot write @: Operation not permitted", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.size() > 20 ? std::to_string(c.name.size()) : c.name);
        if (c.needsRoot && !isRoot()) {
            continue;
        }
        const fs::path map = folder / c.name;
        if (c.old) {
            std::ofstream(map) << "old map";
            std::ofstream(sideFile(map)) << "old classes";
        }
        std::string prefix;
        if (c.name == "kept.tif") {
            fs::permissions(map, fs::perms::owner_read);
        } else if (c.name == "theirs.tif") {
            // Another user's map, which anyone may write; the side file is the caller's.
            fs::permissions(map, fs::perms::all);
            ASSERT_EQ(::chown(map.c_str(), 65533, 65533), 0);
            ASSERT_EQ(::chown(sideFile(map).c_str(), 65534, 65534), 0);
            prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        }
        std::vector<std::string> arguments = soils.arguments;
        arguments.insert(arguments.end(), {"--output", map.string()});
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const Outcome outcome = runProgram(tool, arguments, prefix);
        EXPECT_EQ(leftovers(folder), std::vector<std::string>{});
        const bool written = c.message.empty();
        const bool refused = c.message.find("cannot write") != std::string::npos;
        EXPECT_EQ(outcome.status, refused ? 2 : 0) << outcome.errorText;
        if (!written) {
            std::string message = c.message;
            for (std::size_t at = message.find('@'); at != std::string::npos;
                 at = message.find('@', at)) {
                message.replace(at, 1, map.string());
            }
            EXPECT_EQ(outcome.errorText, message);
        }
        const bool kept = refused && c.old;
        EXPECT_EQ(contents(map) == "old map", kept);
        if (written) {
            EXPECT_EQ(readBands(map).size(), 5U);
            EXPECT_FALSE(textureNames(map).empty()); // from the new side file
        } else {
            EXPECT_EQ(contents(sideFile(map)), kept ? "old classes" : "none");
        }
    }
    if (!isRoot()) {
        GTEST_SKIP() << "another user's map needs root";
    }
}

std::string vrtOf(const std::string& band) {
    return R"(<VRTDataset rasterXSize="40" rasterYSize="30">)" + band + "</VRTDataset>";
}

std::string sourcedBand(const std::string& source, bool relative = true) {
    return R"(<VRTRasterBand dataType="Int16" band="1"><SimpleSource><SourceFilename )"
           R"(relativeToVRT=")" +
           std::string(relative ? "1" : "0") + R"(">)" + source +
           "</SourceFilename></SimpleSource></VRTRasterBand>";
}

// An input reads only what it names unless the user vouches for it: a VRT whose raw band
// reads a private file's bytes, whose sources lie outside its folder (by "..", a link or an
// absolute name) or are GDAL's own syntax, or that nests such a VRT; a virtual path; a driver
// that reaches beyond its file. VRTs of files in their own folder or below are read, and
// --trusted-inputs reads the rest.
TEST(EdgesTest, InputsReachOnlyWhatTheyName) {
    const fs::path folder = testFolder("reach");
    const fs::path away = testFolder("reach-private");
    const RasterLayout layout;
    const std::vector<double> cells(std::size_t{40} * 30, 300);
    writeRaster(folder / "a.tif", layout, cells);
    fs::create_directory(folder / "sub");
    writeRaster(folder / "sub/a.tif", layout, cells);
    writeRaster(away / "b.tif", layout, cells);
    std::ofstream(away / "secret") << std::string(1200, 's');
    fs::permissions(away / "secret", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(away / "b.tif", folder / "link.tif");
    const std::map<std::string, std::string> vrts{
        {"raw.vrt", vrtOf(R"(<VRTRasterBand dataType="Byte" band="1" subClass="VRTRawRasterBand">)"
                          "<SourceFilename>" +
                          (away / "secret").string() +
                          "</SourceFilename><PixelOffset>1</PixelOffset>"
                          "<LineOffset>40</LineOffset></VRTRasterBand>")},
        {"up.vrt", vrtOf(sourcedBand("../reach-private/b.tif"))},
        {"absolute.vrt", vrtOf(sourcedBand((away / "b.tif").string(), false))},
        {"link.vrt", vrtOf(sourcedBand("link.tif"))},
        {"syntax.vrt", vrtOf(sourcedBand("GTIFF_DIR:1:" + (away / "b.tif").string(), false))},
        {"nested.vrt", vrtOf(sourcedBand("raw.vrt"))},
        {"inside.vrt", vrtOf(sourcedBand("sub/a.tif"))},
        {"near.vrt", vrtOf(sourcedBand("inside.vrt"))},
    };
    for (const auto& [name, text] : vrts) {
        std::ofstream(folder / name) << text;
    }
    const auto at = [&folder](const std::string& name) { return (folder / name).string(); };
    const std::string trust = ": give --trusted-inputs to read it";
    const std::string rawBand = ": a raw band (VRTRawRasterBand) reads any file's bytes" + trust;
    struct Case {
        std::string input;
        std::string message; // empty: read
        bool trusted = false;
    };
    const std::vector<Case> cases{
        {at("raw.vrt"), "--sand " + at("raw.vrt") + rawBand},
        {at("nested.vrt"), "--sand " + at("nested.vrt") + " reads " + at("raw.vrt") + rawBand},
        {at("up.vrt"), "--sand " + at("up.vrt") + " reads " + at("../reach-private/b.tif") +
                           ", outside its own folder " + folder.string() + trust},
        {at("absolute.vrt"), "--sand " + at("absolute.vrt") + " reads " +
                                 (away / "b.tif").string() + ", outside its own folder " +
                                 folder.string() + trust},
        {at("link.vrt"), "--sand " + at("link.vrt") + " reads " + at("link.tif") +
                             ", outside its own folder " + folder.string() + trust},
        {at("syntax.vrt"), "--sand " + at("syntax.vrt") +
                               " reads GTIFF_DIR:1:" + (away / "b.tif").string() +
                               ", which is no plain file's name" + trust},
        {"/vsicurl/http://127.0.0.1:9/a.tif",
         "--sand /vsicurl/http://127.0.0.1:9/a.tif: a virtual path, which may reach the network "
         "or other files" +
             trust},
        {"MEM:::DATAPOINTER=0x1000,PIXELS=40,LINES=30",
         "--sand MEM:::DATAPOINTER=0x1000,PIXELS=40,LINES=30: GDAL reads it with its MEM driver, "
         "which may reach beyond the file named" +
             trust},
        {at("near.vrt"), ""},
        {at("raw.vrt"), "", true},
        {at("up.vrt"), "", true},
    };
    const fs::path out = folder / "out.tif";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        fs::remove(out);
        std::vector<std::string> arguments{"--model", "0",     "--sand",   c.input,
                                           "--clay",  c.input, "--output", out.string()};
        if (c.trusted) {
            arguments.emplace_back("--trusted-inputs");
        }
        const Outcome outcome = runMap(arguments);
        if (c.message.empty()) {
            EXPECT_EQ(outcome.status, 0) << outcome.errorText;
            EXPECT_EQ(readBands(out).size(), 5U);
            continue;
        }
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.errorText, "talvo-map: " + c.message);
        EXPECT_FALSE(fs::exists(out));
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
                  "talvo-map: the system refused to start 8 threads (4 to estimate, 4 to "
                  "compress): Resource temporarily unavailable; give fewer with --threads");
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
