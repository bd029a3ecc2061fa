#include "base/printable.h"
#include "table/csv.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace talvo::table {
namespace {

using namespace std::string_literals;
// Each record as its line and "[field][field]"; an error as line 0 and its message.
using Read = std::vector<std::pair<std::uint64_t, std::string>>;

Read readAll(const std::string& bytes, char delimiter = ',') {
    std::istringstream input(bytes);
    CsvReader reader(input, delimiter);
    Records records;
    std::string error;
    try {
        while (reader.next(records)) {
        }
    } catch (const CsvError& e) {
        error = e.what();
    }
    Read out;
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::string text;
        for (std::size_t f = 0; f < records[i].size(); ++f) {
            text += '[' + std::string(records[i][f]) + ']';
        }
        if (records[i].strayQuoteField() != 0) {
            text += " stray " + std::to_string(records[i].strayQuoteField());
        }
        out.emplace_back(records[i].line(), text);
    }
    if (!error.empty()) {
        out.emplace_back(0, error); // after the whole records before the damage, and only those
    }
    return out;
}

// Line breaks, quoting and the byte-order mark as spreadsheets write them are read through the
// real executable in tests/batch, and what appendField writes is read back by the csv fuzz
// target; these are the forms the small tables do not show.
TEST(CsvReader, Records) {
    const std::string huge(MaxRecordBytes + 1, 'x');
    const std::vector<std::pair<std::string, Read>> cases{
        {"a\n1\r\n2\r3", {{1, "[a]"}, {2, "[1]"}, {3, "[2]"}, {4, "[3]"}}},
        {"\xEF\xBB\xBF"
         "a\n\xEF\xBB\xBF\n", // only a leading mark is skipped
         {{1, "[a]"}, {2, "[\xEF\xBB\xBF]"}}},
        {"\n\r\na\n\n\r\n \n\n", {{3, "[a]"}, {6, "[ ]"}}},
        {",\n,,x,\n", {{1, "[][]"}, {2, "[][][x][]"}}},
        {"\"1\r\n2\"\nnext\n", {{1, "[1\r\n2]"}, {3, "[next]"}}},
        {R"("","b")", {{1, "[][b]"}}},
        {"a\0b,c\n"s, {{1, "[a\0b][c]"s}}},
        {"a\n\"1\n2\",\"x\n", {{1, "[a]"}, {0, "line 3: unterminated quote"}}},
        // Past the limit, an unclosed quote is suggested only where one is open.
        {"a\n" + huge + "\n", {{1, "[a]"}, {0, "line 2: a record longer than 1 MiB (the limit)"}}},
        {"a\n\"b\"," + huge, {{1, "[a]"}, {0, "line 2: a record longer than 1 MiB (the limit)"}}},
        {"a\n\"" + huge,
         {{1, "[a]"},
          {0, "line 2: a record longer than 1 MiB (the limit): is the quote on line 2 not "
              "closed?"}}},
        {"a\n\"1\n2\",\"" + huge,
         {{1, "[a]"},
          {0, "line 2: a record longer than 1 MiB (the limit): is the quote on line 3 not "
              "closed?"}}},
    };
    for (const auto& [bytes, records] : cases) {
        SCOPED_TRACE(bytes.substr(0, 40));
        EXPECT_EQ(readAll(bytes), records);
    }
}

// Input echoed in a message can neither drive the terminal nor be cut short at a NUL, and
// what would not show is named.
TEST(Printable, EscapesWhatWouldNotShow) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"Sand (%)", "Sand (%)"},
        {"id\tsilt", "id\\tsilt"},
        {"\x1b[31mred", "\\x1b[31mred"},
        {"a\0b"s, "a\\x00b"},
        {"\r\n\x7f\x1f ", R"(\x0d\x0a\x7f\x1f )"},
        {"Ton (\xC2\xB5m) \xFF", "Ton (\xC2\xB5m) \xFF"}, // UTF-8 and other high bytes stay
        {"back\\slash", "back\\slash"},
        // Zero-width space, no-break space, byte-order mark mid-text, C1 CSI, a right-to-left
        // override, a narrow no-break space as a thousands separator.
        {"14\xE2\x80\x8B", "14\\u200b"},
        {"40\xC2\xA0", "40\\u00a0"},
        {"a\xEF\xBB\xBF"
         "b",
         "a\\ufeffb"},
        {"\xC2\x9B"
         "31m",
         "\\u009b31m"},
        {"x\xE2\x80\xAEy", "x\\u202ey"},
        {"1\xE2\x80\xAF"
         "000",
         "1\\u202f000"},
        // Visible letters beside them stay, and a cut sequence is left as it is.
        {"\xC3\xA9\xE2\x82\xAC\xE2\x80", "\xC3\xA9\xE2\x82\xAC\xE2\x80"},
    };
    for (const auto& [text, wanted] : cases) {
        EXPECT_EQ(base::printable(text), wanted);
    }
}

} // namespace
} // namespace talvo::table
