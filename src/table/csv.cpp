#include "table/csv.h"

#include <algorithm>

namespace talvo::table {

namespace {

constexpr std::size_t BlockBytes = std::size_t{64} << 10;

bool isLineBreak(char c) {
    return c == '\n' || c == '\r';
}

} // namespace

CsvError::CsvError(std::uint64_t line, const std::string& what)
    : base::Error("line " + std::to_string(line) + ": " + what), m_line(line) {}

CsvError tooLong(std::uint64_t line, std::optional<std::uint64_t> openQuote) {
    std::string what =
        "a record longer than " + std::to_string(MaxRecordBytes >> 20) + " MiB (the limit)";
    if (openQuote) {
        what += ": is the quote on line " + std::to_string(*openQuote) + " not closed?";
    }
    return {line, what};
}

RecordView::RecordView(const Records& records, std::size_t index) noexcept
    : m_records(&records), m_index(index), m_firstField(records.m_records[index].firstField),
      m_fieldCount((index + 1 < records.m_records.size() ? records.m_records[index + 1].firstField
                                                         : records.m_fieldEnds.size()) -
                   m_firstField) {}

std::string_view RecordView::operator[](std::size_t i) const noexcept {
    const std::size_t k = m_firstField + i;
    const std::size_t begin = k == 0 ? 0 : m_records->m_fieldEnds[k - 1];
    return std::string_view(m_records->m_text).substr(begin, m_records->m_fieldEnds[k] - begin);
}

std::uint64_t RecordView::line() const noexcept {
    return m_records->m_records[m_index].line;
}

std::size_t RecordView::strayQuoteField() const noexcept {
    return m_records->m_records[m_index].strayQuoteField;
}

void Records::clear() noexcept {
    m_text.clear();
    m_fieldEnds.clear();
    m_records.clear();
}

MemoryInput::MemoryInput(std::string_view text) : std::istream(this) {
    // The buffer is only read; streambuf's interface wants it writable.
    char* const first =
        const_cast<char*>(text.data()); // NOLINT(cppcoreguidelines-pro-type-const-cast)
    setg(first, first, first + text.size());
}

CsvReader::CsvReader(std::istream& input, char delimiter, std::uint64_t firstLine)
    : m_input(input), m_delimiter(delimiter), m_block(BlockBytes), m_line(firstLine),
      m_started(firstLine != 1) {}

bool CsvReader::fill() {
    m_input.read(m_block.data(), static_cast<std::streamsize>(m_block.size()));
    const auto count = static_cast<std::size_t>(m_input.gcount());
    if (m_input.bad()) {
        throw CsvError(m_line, "read error");
    }
    m_position = 0;
    m_end = count;
    if (!m_started) {
        m_started = true;
        constexpr std::string_view bom = "\xEF\xBB\xBF";
        if (count >= bom.size() && std::equal(bom.begin(), bom.end(), m_block.begin())) {
            m_byteOrderMark = true;
            m_position = bom.size();
        }
    }
    return m_position < m_end;
}

// One record as it is appended to a Records: how far through its fields and quotes it is,
// where it started, and how long it has grown.
class CsvReader::RecordParse {
public:
    RecordParse(Records& records, char delimiter)
        : m_records(records.m_records), m_text(records.m_text), m_fieldEnds(records.m_fieldEnds),
          m_delimiter(delimiter), m_textStart(m_text.size()), m_firstField(m_fieldEnds.size()) {}

    // Takes byte `c`, on line `line`; true when it ends the record.
    bool take(char c, std::uint64_t line) {
        // From the record's first byte to its line break, as the unquoted rows count it.
        if ((m_state != State::recordStart || !isLineBreak(c)) &&
            ++m_recordBytes > MaxRecordBytes) {
            throw tooLongRecord();
        }
        switch (m_state) {
        case State::recordStart:
            return takeFirst(c, line);
        case State::fieldStart:
            return takeFieldStart(c, line);
        case State::unquoted:
            return takeUnquoted(c);
        case State::quoted:
            takeQuoted(c);
            return false;
        case State::quoteInQuoted:
            return takeAfterQuote(c);
        }
        return false;
    }

    // The input has ended: true when that ends a record, as the last one needs no line break.
    bool atInputEnd() {
        switch (m_state) {
        case State::recordStart:
            return false;
        case State::quoted:
            throw unterminatedQuote();
        default:
            m_fieldEnds.push_back(static_cast<std::uint32_t>(m_text.size()));
            return endRecord();
        }
    }

private:
    enum class State { recordStart, fieldStart, unquoted, quoted, quoteInQuoted };

    bool takeFirst(char c, std::uint64_t line) {
        if (isLineBreak(c)) {
            return false; // a blank line, or the LF of a CRLF
        }
        m_recordLine = line;
        return takeFieldStart(c, line);
    }

    bool takeFieldStart(char c, std::uint64_t line) {
        if (c == '"') {
            m_state = State::quoted;
            m_quoteLine = line;
            return false;
        }
        m_state = State::unquoted;
        return takeUnquoted(c);
    }

    bool takeUnquoted(char c) {
        if (c == m_delimiter || isLineBreak(c)) {
            return endField(c);
        }
        if (c == '"') {
            markStray();
        }
        m_text.push_back(c);
        return false;
    }

    void takeQuoted(char c) {
        if (c == '"') {
            m_state = State::quoteInQuoted;
        } else {
            m_text.push_back(c);
        }
    }

    bool takeAfterQuote(char c) {
        if (c == '"') {
            m_text.push_back('"');
            m_state = State::quoted;
            return false;
        }
        if (c == m_delimiter || isLineBreak(c)) {
            return endField(c);
        }
        // "a"b: keep the quote and go on as unquoted text.
        markStray();
        m_text.push_back('"');
        m_text.push_back(c);
        m_state = State::unquoted;
        return false;
    }

    // Ends the field at `c`, a delimiter or a line break; true when that ends the record.
    bool endField(char c) {
        m_fieldEnds.push_back(static_cast<std::uint32_t>(m_text.size()));
        if (c == m_delimiter) {
            m_state = State::fieldStart;
            return false;
        }
        return endRecord();
    }

    bool endRecord() {
        m_records.push_back({m_firstField, m_recordLine, m_strayField});
        return true;
    }

    void markStray() noexcept {
        if (m_strayField == 0) {
            m_strayField = m_fieldEnds.size() - m_firstField + 1;
        }
    }

    // Records holds whole records only, also after a failure.
    void dropRecord() {
        m_text.resize(m_textStart);
        m_fieldEnds.resize(m_firstField);
    }

    CsvError unterminatedQuote() {
        dropRecord();
        return {m_quoteLine, "unterminated quote"};
    }

    CsvError tooLongRecord() {
        dropRecord();
        return tooLong(m_recordLine,
                       m_state == State::quoted ? std::optional(m_quoteLine) : std::nullopt);
    }

    std::vector<Records::Entry>& m_records;
    std::string& m_text;
    std::vector<std::uint32_t>& m_fieldEnds;
    char m_delimiter;
    std::size_t m_textStart;
    std::size_t m_firstField;
    State m_state = State::recordStart;
    std::uint64_t m_recordLine = 0;
    std::uint64_t m_quoteLine = 0;
    std::size_t m_recordBytes = 0;
    std::size_t m_strayField = 0;
};

bool CsvReader::next(Records& records) {
    RecordParse record(records, m_delimiter);
    for (;;) {
        if (m_position == m_end && !fill()) {
            return record.atInputEnd();
        }
        const char c = m_block[m_position++];
        if (record.take(c, lineOf(c))) {
            return true;
        }
    }
}

// The line byte `c` is on. CRLF, LF and a lone CR each end one line.
std::uint64_t CsvReader::lineOf(char c) noexcept {
    const std::uint64_t line = m_line;
    if (c == '\r' || (c == '\n' && !m_afterCr)) {
        ++m_line;
    }
    m_afterCr = c == '\r';
    return line;
}

char* writeField(char* out, std::string_view field, char delimiter) {
    const bool needsQuotes = std::any_of(field.begin(), field.end(), [delimiter](char c) {
        return c == delimiter || c == '"' || isLineBreak(c);
    });
    if (!needsQuotes) {
        return std::copy(field.begin(), field.end(), out);
    }
    *out++ = '"';
    for (const char c : field) {
        if (c == '"') {
            *out++ = '"';
        }
        *out++ = c;
    }
    *out++ = '"';
    return out;
}

void appendField(std::string& out, std::string_view field, char delimiter) {
    const std::size_t size = out.size();
    out.resize(size + quotedFieldBytes(field.size()));
    char* const end = writeField(out.data() + size, field, delimiter);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

} // namespace talvo::table
