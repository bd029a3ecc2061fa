#include "table/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_folder)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
    static std::string contents(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path m_folder;
};

TEST_F(FilesTest, AFailedRunLeavesTheOldFileAndNoTrace) {
    const fs::path target = m_folder / "out.csv";
    std::ofstream(target) << "old table\n";
    {
        ReplacingFile file(target);
        file.stream() << "half a new tab";
    } // no commit: the run failed
    EXPECT_EQ(files(), std::vector<std::string>{"out.csv"});
    EXPECT_EQ(contents(target), "old table\n");
}

TEST_F(FilesTest, CommitPutsTheWholeFileInPlace) {
    const fs::path target = m_folder / "out.csv";
    {
        ReplacingFile file(target);
        file.stream() << "sand,clay\n";
        EXPECT_FALSE(fs::exists(target)); // nothing visible until it is whole
        file.commit();
    }
    EXPECT_EQ(files(), std::vector<std::string>{"out.csv"});
    EXPECT_EQ(contents(target), "sand,clay\n");
}

TEST_F(FilesTest, AFolderThatIsNotThereIsAnError) {
    // cppcheck-suppress unusedScopedObject ; constructed only to see it throw
    EXPECT_THROW(ReplacingFile(m_folder / "missing" / "out.csv"), Error);
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

    for (const fs::path& refused : {input, m_folder / "alias.csv", data}) {
        SCOPED_TRACE(refused);
        EXPECT_THROW(OutputFile(refused.string(), in), Error);
    }
    EXPECT_EQ(contents(input), "sand,clay\n");
}

} // namespace
} // namespace talvo::table
