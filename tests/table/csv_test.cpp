#include "table/csv.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace talvo::table {
namespace {

using namespace std::string_literals;
using Fields = std::vector<std::string>;

struct Read {
    Fields fields;
    std::uint64_t line;
    std::size_t strayQuoteField = 0;
    friend bool operator==(const Read&, const Read&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Read& r) {
        out << "line " << r.line << " stray " << r.strayQuoteField << ':';
        for (const std::string& f : r.fields) {
            out << " [" << f << ']';
        }
        return out;
    }
};

std::vector<Read> readAll(const std::string& bytes, char delimiter = ',') {
    std::istringstream input(bytes);
    CsvReader reader(input, delimiter);
    Records records;
    while (reader.next(records)) {
    }
    std::vector<Read> out;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const RecordView record = records[i];
        Read read{{}, record.line(), record.strayQuoteField()};
        for (std::size_t f = 0; f < record.size(); ++f) {
            read.fields.emplace_back(record[f]);
        }
        out.push_back(read);
    }
    return out;
}

TEST(CsvReader, Records) {
    struct Case {
        const char* what;
        std::string bytes;
        char delimiter;
        std::vector<Read> records;
    };
    const std::vector<Case> cases{
        {"LF", "a,b\n1,2\n", ',', {{{"a", "b"}, 1}, {{"1", "2"}, 2}}},
        {"CRLF", "a,b\r\n1,2\r\n", ',', {{{"a", "b"}, 1}, {{"1", "2"}, 2}}},
        {"lone CR", "a,b\r1,2\r", ',', {{{"a", "b"}, 1}, {{"1", "2"}, 2}}},
        {"last line without a break", "a,b\n1,2", ',', {{{"a", "b"}, 1}, {{"1", "2"}, 2}}},
        {"byte-order mark", "\xEF\xBB\xBFsand\n1\n", ',', {{{"sand"}, 1}, {{"1"}, 2}}},
        {"a mark elsewhere is text", "a\n\xEF\xBB\xBF\n", ',', {{{"a"}, 1}, {{"\xEF\xBB\xBF"}, 2}}},
        {"blank lines anywhere", "\n\r\na\n\n\r\n1\n\n", ',', {{{"a"}, 3}, {{"1"}, 6}}},
        {"blanks make a record", "a\n \n", ',', {{{"a"}, 1}, {{" "}, 2}}},
        {"empty fields", ",\n,,x,\n", ',', {{{"", ""}, 1}, {{"", "", "x", ""}, 2}}},
        {"quoted delimiter, quote and breaks",
         "\"a,b\",\"say \"\"hi\"\"\",\"1\r\n2\"\nnext\n",
         ',',
         {{{"a,b", "say \"hi\"", "1\r\n2"}, 1}, {{"next"}, 3}}},
        {"empty quoted field", "\"\",\"\"\n", ',', {{{"", ""}, 1}}},
        {"quoted last field at the end", "a,\"b\"", ',', {{{"a", "b"}, 1}}},
        {"quote inside an unquoted field", "5\" pipe,x\n", ',', {{{"5\" pipe", "x"}, 1, 1}}},
        {"text after a closing quote", "a,\"b\"c,\"d\"\n", ',', {{{"a", "b\"c", "d"}, 1, 2}}},
        {"semicolon", "a;b,c\n", ';', {{{"a", "b,c"}, 1}}},
        {"tab", "a\tb c\n", '\t', {{{"a", "b c"}, 1}}},
        {"NUL bytes are text", "a\0b,c\n"s, ',', {{{"a\0b"s, "c"}, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(readAll(c.bytes, c.delimiter), c.records);
    }
}

TEST(CsvReader, StopsWhereTheInputCannotBeReadOn) {
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t recordsBefore;
        std::string message;
    };
    const std::string huge(MaxRecordBytes + 1, 'x');
    const std::vector<Case> cases{
        {"quote never closed", "a,b\n1,2\n3,\"4\n5,6\n", 2, "line 3: unterminated quote"},
        {"quote opened on a later line of the record", "a\n\"1\n2\",\"x\n", 1,
         "line 3: unterminated quote"},
        {"one enormous field", "a\n" + huge + "\n", 1,
         "line 2: record longer than 1 MiB (is a quote not closed?)"},
        {"an unclosed quote swallowing the file", "a\n\"" + huge, 1,
         "line 2: record longer than 1 MiB (is a quote not closed?)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::istringstream input(c.bytes);
        CsvReader reader(input, ',');
        Records records;
        try {
            while (reader.next(records)) {
            }
            ADD_FAILURE() << "no error";
        } catch (const CsvError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
        // Records holds the whole records before the damage and nothing of it.
        EXPECT_EQ(records.size(), c.recordsBefore);
    }
}

// Whatever appendField writes, the reader reads back as it was, also across the reader's
// block boundaries and with every kind of text a field may hold.
TEST(CsvReader, ReadsBackWhatAppendFieldWrites) {
    const std::vector<std::string> samples{"",
                                           "40",
                                           " 40 ",
                                           "a,b",
                                           "a;b",
                                           "say \"hi\"",
                                           "\"",
                                           "line\nbreak",
                                           "cr\rlf\r\n",
                                           "x\ty",
                                           "Rawls et al., 1982",
                                           std::string(70000, 'y') + ",",
                                           "\xEF\xBB\xBF"};
    for (const char delimiter : {',', ';', '\t'}) {
        SCOPED_TRACE(delimiter);
        std::vector<Fields> written;
        std::string bytes;
        for (std::size_t row = 0; row < 60; ++row) {
            Fields fields;
            for (std::size_t f = 0; f < 4; ++f) {
                fields.push_back(samples[(row * 7 + f * 3) % samples.size()]);
                if (f != 0) {
                    bytes += delimiter;
                }
                appendField(bytes, fields.back(), delimiter);
            }
            bytes += row % 2 == 0 ? "\n" : "\r\n";
            written.push_back(fields);
        }
        const std::vector<Read> read = readAll(bytes, delimiter);
        ASSERT_EQ(read.size(), written.size());
        for (std::size_t i = 0; i < read.size(); ++i) {
            EXPECT_EQ(read[i].fields, written[i]) << "row " << i;
            EXPECT_EQ(read[i].strayQuoteField, 0U);
        }
    }
}

} // namespace
} // namespace talvo::table
