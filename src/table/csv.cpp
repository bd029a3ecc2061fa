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
    : Error("line " + std::to_string(line) + ": " + what), m_line(line) {}

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
      m_started(firstLine != 1) {
    for (const char c : {delimiter, '"', '\r', '\n'}) {
        m_special[static_cast<unsigned char>(c)] = true;
    }
}

bool CsvReader::fill() {
    m_input.read(m_block.data(), static_cast<std::streamsize>(m_block.size()));
    const auto count = static_cast<std::size_t>(m_input.gcount());
    if (m_input.bad()) {
        throw CsvError(m_line, "read error");
    }
    m_position = 0;
    m_end = count;
    m_bytesRead += count;
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

bool CsvReader::next(Records& records) {
    enum class State { recordStart, fieldStart, unquoted, quoted, quoteInQuoted };
    State state = State::recordStart;
    std::uint64_t recordLine = 0;
    std::uint64_t quoteLine = 0;
    std::size_t recordBytes = 0;
    std::size_t strayField = 0;
    std::string& text = records.m_text;
    std::vector<std::uint32_t>& fieldEnds = records.m_fieldEnds;
    const std::size_t textStart = text.size();
    const std::size_t firstField = fieldEnds.size();

    const auto isSpecial = [this](char c) { return m_special[static_cast<unsigned char>(c)]; };
    const auto endField = [&] { fieldEnds.push_back(static_cast<std::uint32_t>(text.size())); };
    const auto endRecord = [&] {
        records.m_records.push_back({firstField, recordLine, strayField});
        return true;
    };
    const auto markStray = [&] {
        if (strayField == 0) {
            strayField = fieldEnds.size() - firstField + 1;
        }
    };
    // Records holds whole records only, also after a failure.
    const auto fail = [&](std::uint64_t line, const std::string& what) {
        text.resize(textStart);
        fieldEnds.resize(firstField);
        return CsvError(line, what);
    };
    const auto tooLongRecord = [&] {
        fail(recordLine, "");
        return tooLong(recordLine,
                       state == State::quoted ? std::optional(quoteLine) : std::nullopt);
    };

    for (;;) {
        if (m_position == m_end && !fill()) {
            switch (state) {
            case State::recordStart:
                return false;
            case State::quoted:
                throw fail(quoteLine, "unterminated quote");
            default: // the last record needs no line break
                endField();
                return endRecord();
            }
        }
        if (state == State::unquoted) {
            // Most bytes are plain field text: take them in one go.
            const std::size_t start = m_position;
            while (m_position < m_end && !isSpecial(m_block[m_position])) {
                ++m_position;
            }
            if (m_position != start) {
                text.append(m_block.data() + start, m_position - start);
                m_afterCr = false;
                recordBytes += m_position - start;
                if (recordBytes > MaxRecordBytes) {
                    throw tooLongRecord();
                }
                continue;
            }
        }
        const char c = m_block[m_position++];
        // CRLF, LF and a lone CR each end one line.
        const std::uint64_t line = m_line;
        if (c == '\r' || (c == '\n' && !m_afterCr)) {
            ++m_line;
        }
        m_afterCr = c == '\r';
        // From the record's first byte to its line break, as the plain rows count it.
        if ((state != State::recordStart || !isLineBreak(c)) && ++recordBytes > MaxRecordBytes) {
            throw tooLongRecord();
        }

        switch (state) {
        case State::recordStart:
            if (isLineBreak(c)) {
                continue; // a blank line, or the LF of a CRLF
            }
            recordLine = line;
            [[fallthrough]];
        case State::fieldStart:
            if (c == '"') {
                state = State::quoted;
                quoteLine = line;
                continue;
            }
            [[fallthrough]];
        case State::unquoted:
            state = State::unquoted;
            if (c == m_delimiter) {
                endField();
                state = State::fieldStart;
            } else if (isLineBreak(c)) {
                endField();
                return endRecord();
            } else {
                if (c == '"') {
                    markStray();
                }
                text.push_back(c);
            }
            continue;
        case State::quoted:
            if (c == '"') {
                state = State::quoteInQuoted;
            } else {
                text.push_back(c);
            }
            continue;
        case State::quoteInQuoted:
            if (c == '"') {
                text.push_back('"');
                state = State::quoted;
            } else if (c == m_delimiter) {
                endField();
                state = State::fieldStart;
            } else if (isLineBreak(c)) {
                endField();
                return endRecord();
            } else { // "a"b: keep the quote and go on as unquoted text
                markStray();
                text.push_back('"');
                text.push_back(c);
                state = State::unquoted;
            }
            continue;
        }
    }
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
