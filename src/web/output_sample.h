#pragma once

// What the table tab shows of a run's output: its header, first rows and rows with an error,
// taken as the output passes.

#include <cstddef>
#include <cstdint>
#include <emscripten/val.h>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace talvo::web {

// The output's header, its first rows and its rows with an error (the last field, error, not
// empty), taken as the output passes, for the page to show: a table of millions of rows
// cannot be shown, nor kept.
class OutputSample {
public:
    static constexpr std::size_t FirstRows = 50;
    // Rows with an error kept; the rest are counted by the run.
    static constexpr std::size_t ErrorRows = 200;

    explicit OutputSample(char delimiter) : m_delimiter(delimiter) {}

    // The output's next bytes.
    void add(std::string_view out);

    // {header, first: [fields...], errors: [{line, fields}], moreErrors}, `withError` the
    // run's count of rows with an error.
    emscripten::val rows(std::uint64_t withError) const;

private:
    bool full() const { return m_first.size() == FirstRows && m_errors.size() == ErrorRows; }

    // A whole record with its line break.
    void endRecord(std::string_view record);

    char m_delimiter;
    bool m_quoted = false;          // within a quoted field at the end of what was added
    std::string m_part;             // a record begun in an earlier piece
    std::uint64_t m_lines = 0;      // line breaks passed
    std::uint64_t m_recordLine = 1; // the line the next record begins on
    std::string m_header;
    std::vector<std::string> m_first;
    std::vector<std::pair<std::uint64_t, std::string>> m_errors;
};

} // namespace talvo::web
