#include "web/output_sample.h"

#include "table/csv.h"
#include "web/failure.h"

#include <algorithm>
#include <cstring>

namespace talvo::web {

namespace {

using emscripten::val;

// A record's fields, unquoted, as an array of texts; `last` puts the last one in the page's
// words.
val fieldsOf(std::string_view record, char delimiter, bool last = false) {
    val fields = val::array();
    table::MemoryInput input(record);
    table::CsvReader reader(input, delimiter);
    table::Records read;
    if (reader.next(read)) {
        for (std::size_t f = 0; f < read[0].size(); ++f) {
            const std::string_view field = read[0][f];
            fields.call<void>("push", last && f + 1 == read[0].size() ? pageWords(field)
                                                                      : std::string(field));
        }
    }
    return fields;
}

} // namespace

void OutputSample::add(std::string_view out) {
    if (full()) {
        return;
    }
    std::size_t begin = 0;
    for (std::size_t at = 0; at < out.size();) {
        const std::size_t lineEnd = out.find('\n', at);
        const std::size_t end = lineEnd == std::string_view::npos ? out.size() : lineEnd;
        // An odd number of quotes on a line leaves a field open across its break.
        if (std::memchr(out.data() + at, '"', end - at) != nullptr) {
            const std::string_view line = out.substr(at, end - at);
            const bool odd = std::count(line.begin(), line.end(), '"') % 2 != 0;
            m_quoted = m_quoted != odd;
        }
        if (lineEnd == std::string_view::npos) {
            break;
        }
        at = lineEnd + 1;
        ++m_lines;
        if (!m_quoted) {
            const std::string_view piece = out.substr(begin, at - begin);
            if (m_part.empty()) {
                endRecord(piece);
            } else {
                m_part += piece;
                endRecord(m_part);
                m_part.clear();
            }
            begin = at;
        }
    }
    m_part += out.substr(begin);
}

val OutputSample::rows(std::uint64_t withError) const {
    val sample = val::object();
    sample.set("header", m_header.empty() ? val::array() : fieldsOf(m_header, m_delimiter));
    val first = val::array();
    for (const std::string& record : m_first) {
        first.call<void>("push", fieldsOf(record, m_delimiter, true));
    }
    val errors = val::array();
    for (const auto& [line, record] : m_errors) {
        val row = val::object();
        row.set("line", static_cast<double>(line));
        row.set("fields", fieldsOf(record, m_delimiter, true));
        errors.call<void>("push", row);
    }
    sample.set("first", first);
    sample.set("errors", errors);
    sample.set("moreErrors", static_cast<double>(
                                 withError - std::min<std::uint64_t>(withError, m_errors.size())));
    return sample;
}

void OutputSample::endRecord(std::string_view record) {
    const std::uint64_t line = m_recordLine;
    m_recordLine = m_lines + 1;
    if (m_header.empty()) {
        m_header = record;
        return;
    }
    if (m_first.size() < FirstRows) {
        m_first.emplace_back(record);
    }
    while (!record.empty() && (record.back() == '\n' || record.back() == '\r')) {
        record.remove_suffix(1);
    }
    if (!record.empty() && record.back() != m_delimiter && m_errors.size() < ErrorRows) {
        m_errors.emplace_back(line, std::string(record));
    }
}

} // namespace talvo::web
