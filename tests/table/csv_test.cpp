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
// real executable in tests/batch; these are the forms its small tables do not show.
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
        {"a\n" + huge + "\n",
         {{1, "[a]"}, {0, "line 2: record longer than 1 MiB (is a quote not closed?)"}}},
        {"a\n\"" + huge,
         {{1, "[a]"}, {0, "line 2: record longer than 1 MiB (is a quote not closed?)"}}},
    };
    for (const auto& [bytes, records] : cases) {
        SCOPED_TRACE(bytes.substr(0, 40));
        EXPECT_EQ(readAll(bytes), records);
    }
}

// Whatever appendField writes, the reader reads back as it was, also across the reader's
// block boundaries and with every kind of text a field may hold.
TEST(CsvReader, ReadsBackWhatAppendFieldWrites) {
    // Plain texts, delimiters, quotes, line breaks, a mark, and a field longer than a block.
    std::vector<std::string> samples{"", "40", " 40 ", "Rawls et al., 1982", "a,b", "a;b", "x\ty"};
    samples.insert(samples.end(), {"say \"hi\"", "\"", "lf\n", "cr\r", "crlf\r\n", "\xEF\xBB\xBF"});
    samples.push_back(std::string(70000, 'y') + ",");
    for (const char delimiter : {',', ';', '\t'}) {
        SCOPED_TRACE(delimiter);
        std::string bytes;
        std::vector<std::string> written;
        for (std::size_t row = 0; row < 60; ++row) {
            written.emplace_back();
            for (std::size_t f = 0; f < 4; ++f) {
                const std::string& field = samples[(row * 7 + f * 3) % samples.size()];
                if (f != 0) {
                    bytes += delimiter;
                }
                appendField(bytes, field, delimiter);
                written.back() += '[' + field + ']';
            }
            bytes += row % 2 == 0 ? "\n" : "\r\n";
        }
        const Read read = readAll(bytes, delimiter);
        ASSERT_EQ(read.size(), written.size());
        for (std::size_t i = 0; i < read.size(); ++i) {
            EXPECT_EQ(read[i].second, written[i]) << "row " << i;
        }
    }
}

} // namespace
} // namespace talvo::table
