#include "table/piece.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

namespace talvo::table {
namespace {

// Rows written through room() and commit() read back whole however often the piece grows,
// from small memory into whole blocks (some MiB), and a piece moved from can be written
// again, as the pipeline reuses them.
TEST(OutputPiece, KeepsItsTextAsItGrowsAndAfterAMove) {
    OutputPiece piece;
    std::string wanted;
    for (std::size_t row = 0; row < 60000; ++row) {
        const std::string text(row % 97, static_cast<char>('a' + row % 26));
        char* const end = piece.room(text.size() + 64); // more room than the row fills
        piece.commit(std::copy(text.begin(), text.end(), end));
        wanted += text;
    }
    EXPECT_EQ(piece.text(), wanted);
    const std::size_t capacity = piece.capacity();
    piece.clear();
    EXPECT_TRUE(piece.empty());
    EXPECT_EQ(piece.capacity(), capacity); // the room stays for the next rows

    piece.append("kept");
    OutputPiece moved = std::move(piece);
    EXPECT_EQ(moved.text(), "kept");
    EXPECT_EQ(piece.capacity(), 0U); // NOLINT(bugprone-use-after-move,hicpp-invalid-access-moved)
    piece.append("again");
    EXPECT_EQ(piece.text(), "again");
}

} // namespace
} // namespace talvo::table
