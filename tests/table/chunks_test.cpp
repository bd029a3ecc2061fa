#include "table/chunks.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace talvo::table {
namespace {

// Rows long enough that a table of them spans several chunks.
std::string rowsOf(std::string_view row, int count) {
    std::string rows;
    for (int i = 0; i < count; ++i) {
        rows.append(std::to_string(i)).append(row);
    }
    return rows;
}

// A chunk's buffer comes back from the workers holding an earlier chunk's bytes, and the
// reader writes over them: a chunk must hold exactly its own records all the same.
TEST(ChunkReader, ChunksHoldTheInputExactlyWhateverTheirBuffersHeld) {
    struct Case {
        const char* name;
        std::string input;
        std::string bytes; // what the chunks hold together: the input less a byte-order mark
    };
    const std::string plain = "id,sand,clay\n" + rowsOf(",40.5,20\n", 30000);
    const std::string quoted = "id,note\n" + rowsOf(",\"a\nb\"\n", 30000);
    const std::string crlf = "id,sand\r\n" + rowsOf(",40\r\n", 30000);
    const std::vector<Case> cases{
        {"plain", plain, plain},
        {"byte-order mark", "\xEF\xBB\xBF" + plain, plain},
        {"quoted line breaks", quoted, quoted},
        {"CRLF", crlf, crlf},
        {"no last line break", plain + "7,1,2", plain + "7,1,2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::istringstream input(c.input);
        ChunkReader reader(input, ',');
        Chunk chunk;
        ASSERT_TRUE(reader.header(chunk));
        std::string read = chunk.bytes;
        std::uint64_t line = 1 + countLines(chunk.bytes);
        int chunks = 0;
        for (chunk.bytes.assign(3 * ChunkBytes, '#'); reader.next(chunk);
             chunk.bytes.append(ChunkBytes, '#')) {
            EXPECT_EQ(chunk.firstLine, line);
            line += countLines(chunk.bytes);
            read += chunk.bytes;
            ++chunks;
        }
        EXPECT_GT(chunks, 2);
        EXPECT_EQ(read, c.bytes);
    }
}

} // namespace
} // namespace talvo::table
