#include "table/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
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

    std::ptrdiff_t fileCount() const {
        return std::distance(fs::directory_iterator(m_folder), fs::directory_iterator());
    }
    static std::string contents(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path m_folder;
};

// A script finds either the old table or the whole new one, never half of it nor a leftover.
TEST_F(FilesTest, ReplacesTheFileWholeOrNotAtAll) {
    const fs::path target = m_folder / "out.csv";
    std::ofstream(target) << "old table\n";
    {
        ReplacingFile file(target);
        file.stream() << "half a new tab";
    } // no commit: the run failed
    EXPECT_EQ(fileCount(), 1);
    EXPECT_EQ(contents(target), "old table\n");
    {
        ReplacingFile file(target);
        file.stream() << "sand,clay\n" << std::flush;
        EXPECT_EQ(contents(target), "old table\n"); // nothing visible until it is whole
        file.commit();
    }
    EXPECT_EQ(fileCount(), 1);
    EXPECT_EQ(contents(target), "sand,clay\n");
}

// Where --output ends up: the table lands in the file the user meant, and nothing else moves.
TEST_F(FilesTest, OutputGoesWhereTheUserMeant) {
    const fs::path input = m_folder / "soils.csv";
    std::ofstream(input) << "sand,clay\n";
    const fs::path data = m_folder / "data";
    fs::create_directories(data);
    fs::create_symlink("data/results.csv", m_folder / "results.csv");
    fs::create_symlink("soils.csv", m_folder / "alias.csv");
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

    // The input under another name, and a folder that is not there.
    for (const fs::path& refused : {m_folder / "alias.csv", m_folder / "missing" / "out.csv"}) {
        SCOPED_TRACE(refused);
        EXPECT_THROW(OutputFile(refused.string(), in), Error);
    }
    EXPECT_EQ(contents(input), "sand,clay\n");
}

} // namespace
} // namespace talvo::table
