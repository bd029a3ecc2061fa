#pragma once

// Formatting the output rows of a record: its own fields, then for each model the added
// columns, from the engine's value API.

#include "estimation/estimation.h"
#include "table/columns.h"
#include "table/csv.h"
#include "table/settings.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::table {

struct Summary {
    std::uint64_t records = 0;       // records below the header
    std::uint64_t rows = 0;          // rows written below the header: records x models
    std::uint64_t rowsWithError = 0; // of these, rows with a reason in `error`
    // Rows with a flag that asks for a look (any but psd, which every converted row carries).
    std::uint64_t rowsFlagged = 0;
    // What the records' sand, silt and clay, as read, say about their unit.
    estimation::ContentUnitTally units;

    Summary& operator+=(const Summary& other) noexcept {
        records += other.records;
        rows += other.rows;
        rowsWithError += other.rowsWithError;
        rowsFlagged += other.rowsFlagged;
        units += other.units;
        return *this;
    }
};

class RowFormatter {
public:
    RowFormatter(const Settings& settings, const Columns& columns);

    // A record from a chunk without quotes or CRs: one line, split at each delimiter.
    void writeUnquoted(std::string_view line, std::string& out, Summary& summary);
    // A record as the careful reader gives it, fields unquoted.
    void writeParsed(const RecordView& record, std::string& out, Summary& summary);

private:
    // The record's own fields as they go out: `fields`, then `padding` delimiters (the
    // last one before `model`), the added columns, then `extra` (a long row's surplus).
    struct Shape {
        std::string_view fields;
        std::size_t padding = 1;
        std::string_view extra;
    };
    // `values` count only when the row is not `malformed`.
    void writeRows(const Shape& shape, const estimation::InputValues& values,
                   std::string_view malformed, std::string& out, Summary& summary);
    // One input's text as a number, at the input's scale where one is set.
    estimation::InputValue readInput(std::string_view text, estimation::Input input) const;
    // The texture class of a well-formed row's soil as a field; empty when it has none.
    std::string_view textureField(const estimation::InputValues& values) const;
    // The steps of one row of `writeRows`, each writing to the added columns at `end` and
    // returning their new end. The delimiter, or the padding straight to `out`, then the
    // model's texts.
    char* writeModel(char* end, std::size_t m, std::size_t padding, std::string& out) const;
    // The three results, or three empty fields and the model's failure in `error`; the flags
    // into `flags`.
    char* writeEstimate(char* end, const estimation::PtfModel& model,
                        const estimation::InputValues& values, std::string_view& error,
                        estimation::Flags& flags) const;
    // The texture, flags and error fields; counts a row with an error.
    char* writeClasses(char* end, std::string_view texture, estimation::Flags flags,
                       std::string_view error, Summary& summary) const;
    // The added columns `added` to `end` into `out`, then a long row's `extra` and the line's end.
    void appendAdded(char* added, char* end, std::string_view extra, std::string& out) const;
    // Writes a result's text at `out` through `write`, quoted where the delimiter could occur
    // in a number; returns the end.
    template <typename Write> char* writeNumber(char* out, Write write) const {
        if (m_numbersNeedQuotes) {
            *out++ = '"'; // a number holds no quote
        }
        out = write(out);
        if (m_numbersNeedQuotes) {
            *out++ = '"';
        }
        return out;
    }

    // Bounds of the added columns of one row: the model's texts, three numbers, the texture,
    // the flags, and an error, which is one of the engine's texts or a malformed row's reason.
    static constexpr std::size_t ErrorCapacity = 512;
    static constexpr std::size_t MaxTextureName = 32;
    static constexpr std::size_t AddedCapacity = 4096;

    const Settings& m_settings;
    const Columns& m_columns;
    std::vector<std::string> m_modelTexts; // list texts as fields
    // Input columns in the order of the table: (column, input).
    std::vector<std::pair<std::size_t, estimation::Input>> m_inputColumns;
    bool m_numbersNeedQuotes = false; // a delimiter that can occur in a number
    bool m_scaled = false;            // some input is read at a scale
    std::string m_fields;             // a parsed record's fields, quoted again
    std::string m_extra;
    std::string m_malformed;
    std::array<std::string, estimation::TextureClassCount> m_textureTexts; // each class's field
    // The flags field of each set of flags, by its bits.
    std::array<std::string, std::size_t{1} << estimation::allFlags.size()> m_flagTexts;
};

} // namespace talvo::table
