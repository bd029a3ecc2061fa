#pragma once

// CSV as spreadsheets write it (RFC 4180): fields separated by one delimiter character,
// quoted fields holding delimiters, doubled quotes and line breaks, records ended by CRLF, LF
// or CR. A UTF-8 byte-order mark at the start is skipped; blank lines are no records.
//
// Our own small reader rather than a packaged one: it must count lines for its messages,
// keep going past a damaged record instead of giving up on the file, and read a million
// records a second without allocating per record.

#include "base/error.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::table {

// Longest record the reader takes, in bytes as written. A longer one is most often an
// unclosed quote swallowing the rest of the file; refusing it keeps memory bounded.
inline constexpr std::size_t MaxRecordBytes = std::size_t{1} << 20;

// The input cannot be read on: an unclosed quote, an oversized record, a read error.
// what() says on which line: "line 7: unterminated quote".
class CsvError : public base::Error {
public:
    CsvError(std::uint64_t line, const std::string& what);
    std::uint64_t line() const noexcept { return m_line; }

private:
    std::uint64_t m_line;
};

// The error for a record beyond MaxRecordBytes that starts on `line`; `openQuote`, the line
// of a quote still open where the limit was passed, if one is.
CsvError tooLong(std::uint64_t line, std::optional<std::uint64_t> openQuote = std::nullopt);

class Records;

// One record of a Records: its fields unquoted, as views into the Records.
class RecordView {
public:
    std::size_t size() const noexcept { return m_fieldCount; }
    std::string_view operator[](std::size_t i) const noexcept;
    std::uint64_t line() const noexcept; // where the record starts, from 1
    // Position (from 1) of the first field with a quote where RFC 4180 allows none: inside an
    // unquoted field (a"b) or after a closing quote ("a"b). 0 when there is none. Such a field
    // is kept as written, less its opening quote, so no text is lost.
    std::size_t strayQuoteField() const noexcept;

private:
    friend class Records;
    RecordView(const Records& records, std::size_t index) noexcept;
    const Records* m_records;
    std::size_t m_index;
    std::size_t m_firstField;
    std::size_t m_fieldCount;
};

// A run of records in one buffer, filled by CsvReader::next and reused after clear(), so that
// reading allocates only while the buffers grow to the largest run.
class Records {
public:
    std::size_t size() const noexcept { return m_records.size(); }
    bool empty() const noexcept { return m_records.empty(); }
    RecordView operator[](std::size_t i) const noexcept { return {*this, i}; }
    void clear() noexcept;

private:
    friend class CsvReader;
    friend class RecordView;
    struct Entry {
        std::size_t firstField;
        std::uint64_t line;
        std::size_t strayQuoteField;
    };
    std::string m_text; // the fields' texts, one after the other
    // End of each field in m_text; 32 bits, as a run of records is a few MiB at most and a
    // header may have a million fields.
    std::vector<std::uint32_t> m_fieldEnds;
    std::vector<Entry> m_records;
};

// Reads records one at a time from a stream, in blocks, with constant memory.
class CsvReader {
public:
    // `firstLine` numbers the input's first line; a byte-order mark is looked for only at
    // line 1.
    CsvReader(std::istream& input, char delimiter, std::uint64_t firstLine = 1);

    // Appends the next record to `records`; false at the end of the input. Throws CsvError when
    // a quote is never closed or a record exceeds MaxRecordBytes.
    bool next(Records& records);

    // Whether the input started with a UTF-8 byte-order mark; known after the first next().
    bool hadByteOrderMark() const noexcept { return m_byteOrderMark; }

private:
    class RecordParse;

    bool fill();
    std::uint64_t lineOf(char c) noexcept;

    std::istream& m_input;
    char m_delimiter;
    std::vector<char> m_block;
    std::size_t m_position = 0;
    std::size_t m_end = 0;
    std::uint64_t m_line = 1;
    bool m_afterCr = false;
    bool m_started = false;
    bool m_byteOrderMark = false;
};

// A chunk of text in memory as an input stream, for the careful parse of a chunk.
class MemoryInput : private std::streambuf, public std::istream {
public:
    explicit MemoryInput(std::string_view text);
};

// The most bytes a field of `size` bytes takes as one CSV field: every byte a quote, doubled.
constexpr std::size_t quotedFieldBytes(std::size_t size) noexcept {
    return 2 * size + 2;
}

// Writes `field` at `out` as one CSV field, quoted when it holds the delimiter, a quote or a
// line break; `out` must hold quotedFieldBytes(field.size()) chars. Returns the end.
char* writeField(char* out, std::string_view field, char delimiter);

// The same, appended to a string.
void appendField(std::string& out, std::string_view field, char delimiter);

} // namespace talvo::table
