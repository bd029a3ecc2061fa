#pragma once

// Formatting the output rows of a record: its own fields, then for each model the added
// columns, from the engine's value API.

#include "base/result_spreads.h"
#include "estimation/estimation.h"
#include "table/chunks.h"
#include "table/columns.h"
#include "table/csv.h"
#include "table/horizon_cells.h"
#include "table/horizons.h"
#include "table/piece.h"
#include "table/settings.h"
#include "table/summary.h"

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::table {

// Output is handed on in pieces of about this size, so that memory stays bounded whatever a
// row's width or the number of models.
inline constexpr std::size_t PieceBytes = std::size_t{1} << 20;

class RowFormatter {
public:
    RowFormatter(const Settings& settings, const Columns& columns);

    // A record from a chunk without quotes or CRs: one line, split at each delimiter. The
    // byte after `line` is read: its line break, or the null after the chunk's string.
    void writeUnquoted(std::string_view line, OutputPiece& out, Summary& summary);
    // A record as the careful reader gives it, fields unquoted.
    void writeParsed(const RecordView& record, OutputPiece& out, Summary& summary);
    // The horizons written since the last call, for their profiles' sums.
    HorizonBatch& horizons() noexcept { return m_horizons; }

private:
    // A short text of the added columns, kept with room to spare so that it is copied in one
    // piece of a fixed size: a call to memmove for each of a row's few short texts cost more
    // than copying them. The target must hold Capacity chars.
    class ShortText {
    public:
        static constexpr std::size_t Capacity = 64;
        ShortText() = default;
        explicit ShortText(std::string_view text);
        char* copyTo(char* out) const noexcept {
            std::memcpy(out, m_bytes.data(), Capacity);
            return out + m_size;
        }

    private:
        std::array<char, Capacity> m_bytes{};
        std::size_t m_size = 0;
    };

    // The record's own fields as they go out: `fields`, then `padding` delimiters (the
    // last one before `model`), then the added columns.
    struct Shape {
        std::string_view fields;
        std::size_t padding = 1;
    };
    // The inputs of a row as numbers, and the row they were read from: a failure's text names
    // its cell, which is found again then rather than kept for every row.
    struct Soil {
        estimation::InputValues values{};   // inputs without a column stay no number
        std::string_view line;              // an unquoted row
        const RecordView* record = nullptr; // or a parsed one
    };
    // An unquoted row split into its fields, each input converted as its field is found, and
    // with `Horizons` the horizon's cells into `cells`.
    struct Split {
        std::size_t fields;
        std::size_t headerEnd;    // where the fields past the header's begin
        std::size_t formulaCells; // of the header's fields, as Summary counts them
    };
    template <bool Horizons> Split splitUnquoted(std::string_view line, HorizonCells& cells);
    // A horizon's water with one model from its 15-digit results (none where the model could
    // not estimate) and what was measured; none where neither gives it.
    std::optional<estimation::HorizonWater>
    horizonWater(const estimation::PtfModel& model,
                 const std::optional<std::array<double, 2>>& limits) const;
    // The water as theta_fc, theta_pwp and aw_mm, each followed by the delimiter; empty
    // fields where there is none.
    char* writeHorizon(char* end, const std::optional<estimation::HorizonWater>& water) const;
    // `soil` counts only when the row is not `malformed`.
    void writeRows(const Shape& shape, const Soil& soil, std::string_view malformed,
                   OutputPiece& out, Summary& summary);
    // What every model's row of one input row shares.
    struct RowState {
        const ShortText& texture;
        bool horizon;               // the row adds to a profile
        std::string_view malformed; // why the row was not read, or empty
    };
    // Model m's row of the input row.
    // The row's soil for soil files, before its models' FC and PWP.
    void keepSoilDetails(const estimation::InputValues& values);
    void writeModelRow(const Shape& shape, std::size_t m, const Soil& soil, const RowState& row,
                       OutputPiece& out, Summary& summary);
    // An unquoted row's own `fields` with their formula cells marked, in m_safeFields.
    std::string_view markFormulas(std::string_view fields);
    // A long row's reason, with the fields beyond the header (`surplus`, each led by the
    // delimiter), so that the row stays as wide as the header and keeps its text.
    const std::string& longRowReason(std::size_t fields, std::string_view surplus);
    // The cell an input of `soil` was read from; empty where the table has none.
    std::string_view cell(const Soil& soil, estimation::Input input) const;
    // The cell of `soil`'s row in `column`.
    std::string_view fieldText(const Soil& soil, std::size_t column) const;
    // One input's text as a number, at the input's scale where one is set, organic matter as
    // carbon.
    estimation::InputValue readInput(std::string_view text, estimation::Input input) const;
    // The soil as `model` reads it: its OC moved from the run's declared unit into the
    // model's; `values` itself where no unit is declared.
    const estimation::InputValues& carbonFor(const estimation::PtfModel& model,
                                             const estimation::InputValues& values);
    // The texture class of a well-formed row's soil as a field, empty when it has none; counts
    // what its sand, silt and clay say of their unit.
    const ShortText& textureField(const estimation::InputValues& values, Summary& summary) const;
    // The steps of one row of `writeRows`, each writing at `end` and returning the new end.
    // The padding, then the model's texts.
    char* writeModel(char* end, std::size_t m, std::size_t padding) const;
    // The three results in the run's precision, or three empty fields and the model's failure,
    // naming its cell, in `failure`; the flags into `flags`.
    char* writeEstimate(char* end, const estimation::SoilEstimate& estimated, const Soil& soil,
                        std::string_view& failure, estimation::Flags& flags, Summary& summary);
    // Whether a type mismatch on `text` is a number with a decimal comma read with a point.
    bool decimalComma(const estimation::FailureReason& failure, std::string_view text) const;
    // The texture and flags fields and the delimiter before the error; counts the flags.
    char* writeClasses(char* end, const ShortText& texture, estimation::Flags flags,
                       Summary& summary) const;
    // `error` and the line's end at `end`, and the row into `out`; counts a row with an error.
    void appendAdded(char* end, std::string_view error, OutputPiece& out, Summary& summary) const;
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
    // the flags, the line's end and an error, which is one of the engine's texts or a malformed
    // row's reason.
    static constexpr std::size_t ErrorCapacity = 512;
    static constexpr std::size_t AddedCapacity = 8192;

    const Settings& m_settings;
    const Columns& m_columns;
    std::vector<ShortText> m_modelTexts; // list texts as fields
    // Input columns in the order of the table: (column, input).
    std::vector<std::pair<std::size_t, estimation::Input>> m_inputColumns;
    // The soil of the row at hand, kept from row to row: each row writes the inputs that have
    // a column, so that none is cleared per row.
    Soil m_soil;
    // The soil of the row at hand as a model reads it, where OC's unit is declared.
    estimation::InputValues m_carbonValues{};
    bool m_numbersNeedQuotes = false; // a delimiter that can occur in a number
    bool m_scaled = false;            // some input is read at a scale, or as organic matter
    std::string m_fields;             // a parsed record's fields, quoted again
    std::string m_safeFields;         // an unquoted row's, formulas marked
    std::string m_cell;               // a parsed field, marked
    std::string m_extra;              // a parsed record's fields beyond the header
    std::string m_malformed;          // a malformed row's reason
    std::string m_failure;            // a failed estimate's reason, naming its cell
    Horizon m_horizon;                // the record's, with --profiles
    HorizonCells m_cells;             // an unquoted record's, with --profiles
    std::string m_horizonFault;       // why its water is not known, where a cell holds no number
    // Horizon columns in the order of the table: (column, input).
    std::vector<std::pair<std::size_t, HorizonInput>> m_horizonColumns;
    HorizonBatch m_horizons;
    std::array<ShortText, estimation::TextureClassCount> m_textureTexts; // each class's field
    ShortText m_noTexture; // the field of a soil without a class
    // The flags field of each set of flags, by its bits.
    std::array<ShortText, std::size_t{1} << estimation::allFlags.size()> m_flagTexts;
    ShortText m_lineEnd; // the table's

    // ---- Input uncertainty (--sd)
    // The row's standard deviations into m_spread, or why one cannot be read into its
    // m_spreadFaults.
    void readSpreads(const Soil& soil);
    // The row's one reason: its shape's, else its model's, else a horizon cell's, else its
    // spread's.
    std::string_view rowError(std::string_view malformed, std::string_view failure,
                              std::string_view spreadFault) const;
    // With --sd, the percentiles of the model's FC, PWP and AWC over draws around `values` (the
    // soil as the model reads it; nullptr where the model could not estimate it), each followed by
    // the delimiter; empty fields, and the reason in `fault`, where there are none.
    char* writeSpreads(char* end, const estimation::PtfModel& model,
                       const estimation::InputValues* values, std::string_view& fault);
    estimation::InputSpread m_spread{};
    std::array<std::string, 4> m_spreadFaults;
    base::ResultSpreads m_spreads;

    // ---- Model spread (--spread)
    // The row after a record's models: their mean in fc, pwp and awc and their range in
    // ModelSpreadColumns, or empty fields and why where no model gave a number.
    void writeModelSpread(const Shape& shape, const ShortText& texture, std::string_view malformed,
                          OutputPiece& out);
    estimation::ModelSpread m_modelSpread; // the record's models so far
};

// The rows of every record of `chunk`, appended to `out`; `pieceFull(out)` whenever `out`
// holds PieceBytes or more, to hand them on. Throws CsvError at a damaged record, after the
// rows before it are in `out`.
void formatChunk(const Chunk& chunk, char delimiter, RowFormatter& formatter, OutputPiece& out,
                 Summary& summary, const std::function<void(OutputPiece&)>& pieceFull);

} // namespace talvo::table
