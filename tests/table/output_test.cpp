#include "table/replacing_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace talvo::table {
namespace {

namespace fs = std::filesystem;

class ReplacingFileTest : public ::testing::Test {
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

TEST_F(ReplacingFileTest, AFailedRunLeavesTheOldFileAndNoTrace) {
    const fs::path target = m_folder / "out.csv";
    std::ofstream(target) << "old table\n";
    {
        ReplacingFile file(target);
        file.stream() << "half a new tab";
    } // no commit: the run failed
    EXPECT_EQ(files(), std::vector<std::string>{"out.csv"});
    EXPECT_EQ(contents(target), "old table\n");
}

TEST_F(ReplacingFileTest, CommitPutsTheWholeFileInPlace) {
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

TEST_F(ReplacingFileTest, AFolderThatIsNotThereIsAnError) {
    EXPECT_THROW(ReplacingFile(m_folder / "missing" / "out.csv"), Error);
}

} // namespace
} // namespace talvo::table
