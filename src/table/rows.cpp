#include "table/rows.h"

#include "estimation/estimation.h"
#include "table/formulas.h"
#include "table/input_field.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>

namespace talvo::table {

namespace {

using estimation::Result;

constexpr std::array results{Result::fc, Result::pwp, Result::awc};

// Fields past the header that hold nothing, such as a delimiter that ends every line, are no
// data: the row is read as if they were not there.
bool onlyDelimiters(std::string_view text, char delimiter) {
    return text.find_first_not_of(delimiter) == std::string_view::npos;
}

std::string malformedReason(std::size_t fields, std::size_t headerFields, std::size_t stray) {
    if (fields != headerFields) {
        return "Malformed row: " + std::to_string(fields) + (fields == 1 ? " field" : " fields") +
               ", header has " + std::to_string(headerFields);
    }
    if (stray != 0) {
        return "Malformed row: stray quote in field " + std::to_string(stray);
    }
    return {};
}

} // namespace

RowFormatter::RowFormatter(const Settings& settings, const Columns& columns)
    : m_settings(settings), m_columns(columns) {
    for (const estimation::PtfModel* model : columns.models) {
        std::string text;
        appendField(text, model->listText, settings.delimiter);
        text += settings.delimiter;
        appendField(text, model->unit, settings.delimiter);
        m_modelTexts.emplace_back(text);
    }
    // Sand, silt and clay describe the soil whatever the model (its texture and their sum);
    // OC only matters to the models that read it.
    for (const estimation::Input input : estimation::allInputs) {
        const std::optional<std::size_t>& column = columns.input[static_cast<std::size_t>(input)];
        if (column.has_value() &&
            (input != estimation::Input::oc || columns.read.contains(input))) {
            m_inputColumns.emplace_back(*column, input);
        }
    }
    std::sort(m_inputColumns.begin(), m_inputColumns.end());
    for (const HorizonInput input : allHorizonInputs) {
        if (const std::optional<std::size_t>& column =
                columns.horizon[static_cast<std::size_t>(input)]) {
            m_horizonColumns.emplace_back(*column, input);
        }
    }
    std::sort(m_horizonColumns.begin(), m_horizonColumns.end());
    // Every texture and every set of flags as its field, once.
    for (const estimation::TextureClass texture : estimation::allTextureClasses) {
        std::string field;
        appendField(field, estimation::name(texture), settings.delimiter);
        m_textureTexts[static_cast<std::size_t>(texture)] = ShortText(field);
    }
    for (std::size_t bits = 0; bits < m_flagTexts.size(); ++bits) {
        std::string codes;
        for (const estimation::Flag flag : estimation::allFlags) {
            if (estimation::Flags(static_cast<std::uint16_t>(bits)).contains(flag)) {
                codes += codes.empty() ? "" : ";";
                codes += estimation::code(flag);
            }
        }
        std::string field;
        appendField(field, codes, settings.delimiter);
        m_flagTexts[bits] = ShortText(field);
    }
    m_lineEnd = ShortText(columns.lineEnd);
    // The model's, texture and flags texts and the line's end each take a whole ShortText.
    static_assert(4 * ShortText::Capacity + ErrorCapacity +
                      3 * (estimation::ResultTextCapacity + 3) + 5 +
                      HorizonColumns.size() * (estimation::ResultTextCapacity + 3) <=
                  AddedCapacity);
    m_scaled = columns.organicMatter || std::any_of(settings.scales.begin(), settings.scales.end(),
                                                    [](const std::optional<DecimalScale>& scale) {
                                                        return scale.has_value();
                                                    });
    m_numbersNeedQuotes =
        std::string_view("0123456789+-eE").find(settings.delimiter) != std::string_view::npos ||
        settings.delimiter == settings.decimal.get();
}

template <bool Horizons>
RowFormatter::Split RowFormatter::splitUnquoted(std::string_view line, HorizonCells& cells) {
    // Members read once: the compiler cannot tell that the stores below leave them alone.
    const char delimiter = m_settings.delimiter;
    const estimation::DecimalSeparator decimal = m_settings.decimal;
    const bool scaled = m_scaled;
    const std::size_t count = m_columns.count;
    const auto isDelimiter = [delimiter](char c) { return c == delimiter; };
    Soil& soil = m_soil;
    auto wanted = m_inputColumns.begin(); // sorted by column; two inputs may share one
    const auto inputsEnd = m_inputColumns.end();
    auto horizonWanted = m_horizonColumns.begin(); // the same
    const auto horizonsEnd = m_horizonColumns.end();
    std::size_t field = 0; // the number of the field that starts at `start`
    Split split{.fields = 0, .headerEnd = line.size(), .formulaCells = 0};
    const char* const last = line.data() + line.size();
    constexpr double NotRead = std::numeric_limits<double>::quiet_NaN();
    for (const char* start = line.data();; ++field) {
        const char* end = nullptr;
        double number = NotRead; // a horizon cell's, where it is a plain decimal
        const bool horizonField =
            Horizons && horizonWanted != horizonsEnd && horizonWanted->first == field;
        if (wanted != inputsEnd && wanted->first == field) {
            // Two inputs may share a column: the field is read once.
            const auto first = static_cast<std::size_t>(wanted->second);
            end = readInputField(start, last, decimal, isDelimiter, soil.values[first]);
            const std::string_view text(start, static_cast<std::size_t>(end - start));
            // At a scale the text is read again, as a decimal: rare, and exact.
            if (scaled) {
                soil.values[first] = readInput(text, wanted->second);
            }
            for (++wanted; wanted != inputsEnd && wanted->first == field; ++wanted) {
                const auto other = static_cast<std::size_t>(wanted->second);
                soil.values[other] = scaled ? readInput(text, wanted->second) : soil.values[first];
            }
        } else if (horizonField && horizonWanted->second != HorizonInput::profile) {
            // A depth, bd or cf, read as its field is found, as the inputs are.
            const estimation::PlainField plain =
                estimation::plainDecimalField<estimation::FieldEnd::guarded>(
                    start, last, decimal.get(), isDelimiter);
            end = plain.end;
            number = plain.decimal ? plain.decimal->value() : NotRead;
        } else {
            // memchr: std::find steps through the rest of the line in fours, and most fields
            // are a few chars.
            const void* const found =
                std::memchr(start, delimiter, static_cast<std::size_t>(last - start));
            end = found != nullptr ? static_cast<const char*>(found) : last;
        }
        for (; horizonField && horizonWanted != horizonsEnd && horizonWanted->first == field;
             ++horizonWanted) {
            const auto at = static_cast<std::size_t>(horizonWanted->second);
            cells.texts[at] = {start, static_cast<std::size_t>(end - start)};
            cells.plain[at] = horizonWanted->second == HorizonInput::profile ? NotRead : number;
        }
        // The byte at an empty last field's start is the line's end: never one of these.
        if (mayBeFormula(*start) && field < count &&
            readAsFormula({start, static_cast<std::size_t>(end - start)})) {
            ++split.formulaCells;
        }
        if (field + 1 == count) {
            split.headerEnd = static_cast<std::size_t>(end - line.data());
        }
        if (end == last) {
            break;
        }
        start = end + 1;
    }
    split.fields = field + 1;
    return split;
}

void RowFormatter::writeUnquoted(std::string_view line, OutputPiece& out, Summary& summary) {
    // One pass: each input is converted while its field is found; a plain table's rows take
    // a loop that knows nothing of horizons.
    Soil& soil = m_soil;
    soil.line = line;
    soil.record = nullptr;
    // Kept from row to row and never cleared: a row whose horizon is read has every field of
    // the header, and so writes every cell the table has.
    HorizonCells& cells = m_cells;
    const Split split =
        m_settings.profiles ? splitUnquoted<true>(line, cells) : splitUnquoted<false>(line, cells);
    const char delimiter = m_settings.delimiter;
    const std::size_t count = m_columns.count;
    const std::size_t fields = split.fields;
    const std::size_t headerEnd = split.headerEnd;
    const auto horizonMalformed = [&]() -> std::string_view {
        if (!m_settings.profiles) {
            return {};
        }
        m_malformed.clear();
        m_horizon = readHorizon(cells);
        return m_malformed;
    };
    summary.formulaCells += split.formulaCells;
    const auto own = [&](std::string_view text) {
        return split.formulaCells != 0 && m_settings.safeCells ? markFormulas(text) : text;
    };
    if (fields == count) {
        writeRows({.fields = own(line), .padding = 1}, soil, horizonMalformed(), out, summary);
        return;
    }
    if (fields > count) {
        const std::string_view surplus = line.substr(headerEnd);
        if (onlyDelimiters(surplus, delimiter)) {
            writeRows({.fields = own(line.substr(0, headerEnd)), .padding = 1}, soil,
                      horizonMalformed(), out, summary);
        } else {
            writeRows({.fields = own(line.substr(0, headerEnd)), .padding = 1}, {},
                      longRowReason(fields, surplus), out, summary);
        }
        return;
    }
    // A short row is padded, so that every column keeps its place.
    m_malformed = malformedReason(fields, count, 0);
    writeRows({.fields = own(line), .padding = count - fields + 1}, {}, m_malformed, out, summary);
}

std::string_view RowFormatter::markFormulas(std::string_view fields) {
    const char delimiter = m_settings.delimiter;
    m_safeFields.clear();
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(fields.find(delimiter, start), fields.size());
        appendSafeCell(m_safeFields, fields.substr(start, end - start));
        if (end == fields.size()) {
            return m_safeFields;
        }
        m_safeFields += delimiter;
        start = end + 1;
    }
}

const std::string& RowFormatter::longRowReason(std::size_t fields, std::string_view surplus) {
    m_malformed = malformedReason(fields, m_columns.count, 0);
    m_malformed += "; beyond the header: ";
    m_malformed += surplus.substr(1);
    return m_malformed;
}

void RowFormatter::writeParsed(const RecordView& record, OutputPiece& out, Summary& summary) {
    const char delimiter = m_settings.delimiter;
    const std::size_t count = m_columns.count;
    m_fields.clear();
    m_extra.clear();
    for (std::size_t i = 0; i < std::min(count, record.size()); ++i) {
        if (i != 0) {
            m_fields += delimiter;
        }
        std::string_view field = record[i];
        if (readAsFormula(field)) {
            ++summary.formulaCells;
            if (m_settings.safeCells) {
                m_cell.clear();
                appendSafeCell(m_cell, field);
                field = m_cell;
            }
        }
        appendField(m_fields, field, delimiter);
    }
    bool surplusEmpty = true;
    for (std::size_t i = count; i < record.size(); ++i) {
        m_extra += delimiter;
        appendField(m_extra, record[i], delimiter);
        surplusEmpty = surplusEmpty && record[i].empty();
    }
    const std::size_t fields = surplusEmpty ? std::min(count, record.size()) : record.size();
    const Shape shape{.fields = m_fields, .padding = fields < count ? count - fields + 1 : 1};
    if (fields > count) {
        writeRows(shape, {}, longRowReason(fields, m_extra), out, summary);
        return;
    }
    m_malformed = malformedReason(fields, count, record.strayQuoteField());
    if (m_malformed.empty() && m_settings.profiles) {
        m_horizon = readHorizon(horizonCells(record));
    }
    Soil& soil = m_soil;
    soil.line = {};
    soil.record = &record;
    if (m_malformed.empty()) {
        for (const auto& [column, input] : m_inputColumns) {
            soil.values[static_cast<std::size_t>(input)] = readInput(record[column], input);
        }
    }
    writeRows(shape, soil, m_malformed, out, summary);
}

std::string_view RowFormatter::cell(const Soil& soil, estimation::Input input) const {
    const auto found = std::find_if(m_inputColumns.begin(), m_inputColumns.end(),
                                    [input](const auto& pair) { return pair.second == input; });
    if (found == m_inputColumns.end()) {
        return {};
    }
    if (soil.record != nullptr) {
        return (*soil.record)[found->first];
    }
    // Split as the row was read: a delimiter ends every field, the decimal separator too.
    // std::find rather than a call to memchr for each field: a table may fail on every row.
    const char delimiter = m_settings.delimiter;
    const char* start = soil.line.data();
    const char* const last = start + soil.line.size();
    for (std::size_t field = 0; field < found->first && start != last; ++field) {
        start = std::find(start, last, delimiter);
        start += start != last ? 1 : 0;
    }
    return {start, static_cast<std::size_t>(std::find(start, last, delimiter) - start)};
}

RowFormatter::HorizonCells RowFormatter::horizonCells(const RecordView& record) const {
    HorizonCells cells;
    for (std::size_t i = 0; i < cells.texts.size(); ++i) {
        if (const std::optional<std::size_t>& column = m_columns.horizon[i]) {
            cells.texts[i] = record[*column];
        }
    }
    return cells;
}

double RowFormatter::cellNumber(const HorizonCells& cells, HorizonInput input, double empty,
                                bool required) {
    const auto at = static_cast<std::size_t>(input);
    constexpr double none = std::numeric_limits<double>::quiet_NaN();
    const std::string_view text = cells.texts[at];
    // The first cell that holds no number is named in the row's error: its horizon has no
    // water, and the user would not learn why.
    const auto fault = [&] {
        if (m_horizonFault.empty()) {
            m_horizonFault = estimation::typeMismatchText(headerName(input), text);
        }
        return none;
    };
    if (const auto plain = estimation::plainDecimal(text, m_settings.decimal.get())) {
        return plain->value();
    }
    if (estimation::missingText(text)) {
        return required ? fault() : empty;
    }
    const estimation::ParsedNumber parsed = estimation::readNumber(text, m_settings.decimal);
    return parsed.failure ? fault() : parsed.value;
}

RowFormatter::Horizon RowFormatter::readHorizon(const HorizonCells& cells) {
    constexpr double none = std::numeric_limits<double>::quiet_NaN();
    m_horizonFault.clear();
    // A cell its field's pass did not read as a plain decimal is read here: `empty` where it
    // is blank or NA, which a depth (`required`) may not be.
    const auto number = [&](HorizonInput input, double empty, bool required) {
        const double read = cells.plain[static_cast<std::size_t>(input)];
        return std::isnan(read) ? cellNumber(cells, input, empty, required) : read;
    };
    Horizon horizon;
    horizon.profile = cells.texts[static_cast<std::size_t>(HorizonInput::profile)];
    horizon.top = number(HorizonInput::top, none, true);
    horizon.bottom = number(HorizonInput::bottom, none, true);
    horizon.soil.basis = m_settings.coarseFragments;
    horizon.soil.bulkDensity = number(HorizonInput::bd, none, false);    // none measured: assumed
    horizon.soil.coarseFragments = number(HorizonInput::cf, 0.0, false); // none given: no stones
    // A bulk density given as text that is no number is not one left out: not assumed.
    if (std::isnan(horizon.soil.bulkDensity) &&
        !estimation::missingText(cells.texts[static_cast<std::size_t>(HorizonInput::bd)])) {
        horizon.soil.bulkDensity = -1.0;
    }
    // After a cell without a number, the first with a number no soil has is named.
    const auto outside = [&](HorizonInput input, bool sound) {
        if (!sound && m_horizonFault.empty()) {
            m_horizonFault = estimation::outOfRangeText(
                headerName(input), cells.texts[static_cast<std::size_t>(input)]);
        }
    };
    outside(HorizonInput::top, estimation::soundDepth(horizon.top));
    outside(HorizonInput::bottom, estimation::soundDepth(horizon.bottom));
    outside(HorizonInput::bd, std::isnan(horizon.soil.bulkDensity) ||
                                  estimation::soundBulkDensity(horizon.soil.bulkDensity));
    outside(HorizonInput::cf, estimation::soundStones(horizon.soil.coarseFragments));
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (std::all_of(horizon.profile.begin(), horizon.profile.end(), blank)) {
        m_malformed = "No profile: the profile cell is empty";
    }
    return horizon;
}

inline std::optional<estimation::HorizonWater>
RowFormatter::horizonWater(const estimation::PtfModel& model,
                           const std::optional<std::array<double, 2>>& limits) const {
    if (!limits) {
        return std::nullopt;
    }
    const double thickness = (m_horizon.bottom - m_horizon.top) * 10.0;
    return estimation::horizonWater(model, (*limits)[0], (*limits)[1], m_horizon.soil, thickness);
}

inline char*
RowFormatter::writeHorizon(char* end, const std::optional<estimation::HorizonWater>& water) const {
    const char delimiter = m_settings.delimiter;
    if (!water) {
        return std::fill_n(end, HorizonColumns.size(), delimiter);
    }
    for (const double value : {water->thetaFc, water->thetaPwp, water->waterMm}) {
        end = writeNumber(end, [&](char* at) { return writeNumberText(at, value, m_settings); });
        *end++ = delimiter;
    }
    return end;
}

const estimation::InputValues& RowFormatter::carbonFor(const estimation::PtfModel& model,
                                                       const estimation::InputValues& values) {
    if (!m_settings.carbonUnit) {
        return values;
    }
    m_carbonValues = values;
    double& oc = m_carbonValues[static_cast<std::size_t>(estimation::Input::oc)].number;
    oc = estimation::carbonFor(model, *m_settings.carbonUnit, oc);
    return m_carbonValues;
}

estimation::InputValue RowFormatter::readInput(std::string_view text,
                                               estimation::Input input) const {
    return readInputCell(text, input, m_settings, m_columns);
}

RowFormatter::ShortText::ShortText(std::string_view text) : m_size(text.size()) {
    if (text.size() > Capacity) {
        throw std::length_error("a short text of the added columns is longer than its room");
    }
    // The bytes are copied, not pointed to: the text may go once this returns.
    // cppcheck-suppress invalidLifetime
    std::copy_n(text.data(), text.size(), m_bytes.data());
}

const RowFormatter::ShortText&
RowFormatter::textureField(const estimation::InputValues& values) const {
    const auto number = [&](estimation::Input input) { return at(values, input).number; };
    const auto found =
        estimation::textureClass(number(estimation::Input::sand), number(estimation::Input::silt),
                                 number(estimation::Input::clay), m_settings.particleSizes);
    if (!found) {
        return m_noTexture;
    }
    return m_textureTexts[static_cast<std::size_t>(*found)];
}

// The helpers below run once per model and row: inline, so the row's loop stays as one piece.
inline char* RowFormatter::writeModel(char* end, std::size_t m, std::size_t padding) const {
    if (padding == 1) {
        *end++ = m_settings.delimiter;
    } else {
        end = std::fill_n(end, padding, m_settings.delimiter);
    }
    return m_modelTexts[m].copyTo(end);
}

// A cell the run's decimal point could not read that a decimal comma would: the usual fault
// of a table from a comma locale read with --delimiter alone.
inline bool RowFormatter::decimalComma(const estimation::FailureReason& failure,
                                       std::string_view text) const {
    static const estimation::DecimalSeparator comma(',');
    return failure.kind == estimation::FailureKind::typeMismatch &&
           m_settings.decimal.get() == '.' && m_settings.delimiter != ',' &&
           !estimation::readNumber(text, comma).failure;
}

inline char* RowFormatter::writeEstimate(char* end, const estimation::SoilEstimate& estimated,
                                         const Soil& soil, std::string_view& error,
                                         estimation::Flags& flags, Summary& summary) {
    const char delimiter = m_settings.delimiter;
    const char separator = m_settings.decimal.get();
    flags = estimated.flags();
    if (const auto& failure = estimated.failure()) {
        // The cell of the input that caused it, where one did.
        // Into the text of the row before: a table may fail on every row.
        m_failure.clear();
        const std::string_view text =
            failure->input ? cell(soil, *failure->input) : std::string_view();
        estimation::appendFailureText(m_failure, *failure, text);
        summary.rowsWithDecimalComma += decimalComma(*failure, text) ? 1U : 0U;
        error = m_failure;
        return std::fill_n(end, 3, delimiter);
    }
    for (const Result result : results) {
        *end++ = delimiter;
        end =
            writeNumber(end, [&](char* at) { return estimated.writeText(at, result, separator); });
    }
    return end;
}

inline char* RowFormatter::writeClasses(char* end, const ShortText& texture,
                                        estimation::Flags flags, Summary& summary) const {
    const char delimiter = m_settings.delimiter;
    *end++ = delimiter;
    end = texture.copyTo(end);
    *end++ = delimiter;
    end = m_flagTexts[flags.bits()].copyTo(end);
    *end++ = delimiter;
    summary.countFlags(flags);
    return end;
}

inline void RowFormatter::appendAdded(char* end, std::string_view error, OutputPiece& out,
                                      Summary& summary) const {
    if (error.empty()) {
        out.commit(m_lineEnd.copyTo(end));
        return;
    }
    ++summary.rowsWithError;
    if (quotedFieldBytes(error.size()) <= ErrorCapacity) {
        end = writeField(end, error, m_settings.delimiter);
        out.commit(m_lineEnd.copyTo(end));
        return;
    }
    // A long row's reason holds its surplus fields, of any length: it takes room of its own.
    out.commit(end);
    end = out.room(quotedFieldBytes(error.size()) + ShortText::Capacity);
    out.commit(m_lineEnd.copyTo(writeField(end, error, m_settings.delimiter)));
}

void RowFormatter::writeRows(const Shape& shape, const Soil& soil, std::string_view malformed,
                             OutputPiece& out, Summary& summary) {
    ++summary.records;
    // Every input column was converted once, whatever each model reads; a model fails only on
    // the inputs it reads.
    const ShortText& texture = malformed.empty() ? textureField(soil.values) : m_noTexture;
    if (&texture != &m_noTexture) {
        summary.units.addClassed();
    } else if (malformed.empty()) {
        summary.units.add(at(soil.values, estimation::Input::sand).number,
                          at(soil.values, estimation::Input::silt).number,
                          at(soil.values, estimation::Input::clay).number);
    }
    const bool horizon = m_settings.profiles && malformed.empty();
    if (horizon) {
        m_horizons.ids.append(m_horizon.profile);
        m_horizons.entries.push_back({m_horizons.ids.size(), profileHash(m_horizon.profile),
                                      m_horizon.top, m_horizon.bottom});
    }
    for (std::size_t m = 0; m < m_columns.models.size(); ++m) {
        // Straight into `out`: the record's fields, the padding, then the added columns.
        char* end = out.room(shape.fields.size() + shape.padding + AddedCapacity);
        end = std::copy(shape.fields.begin(), shape.fields.end(), end);
        end = writeModel(end, m, shape.padding);
        std::string_view error = malformed;
        estimation::Flags flags; // a malformed row has none: its numbers were not read
        std::optional<std::array<double, 2>> limits; // a horizon's FC and PWP, 15 digits
        if (error.empty()) {
            // Built where it is read: a copy read back in wider pieces than it was written in
            // stalls every row on a failed store forward. A horizon's water is summed from
            // the model's fifteen digits, whatever the precision its texts are written in.
            const estimation::PtfModel& model = *m_columns.models[m];
            const estimation::InputValues& values = carbonFor(model, soil.values);
            summary.units.addCarbon(model, at(values, estimation::Input::oc).number);
            const estimation::SoilEstimate estimated = estimation::estimateSoil(
                model, values, m_settings.precision, m_settings.particleSizes);
            end = writeEstimate(end, estimated, soil, error, flags, summary);
            // cppcheck-suppress knownConditionTrueFalse ; writeEstimate fills error on failure
            if (horizon && error.empty()) {
                // A horizon cell without a sound number leaves no water.
                error = m_horizonFault;
                limits = error.empty() ? estimated.fifteenDigitLimits() : std::nullopt;
            }
        } else {
            end = std::fill_n(end, 3, m_settings.delimiter);
        }
        if (horizon) {
            const std::optional<estimation::HorizonWater> water =
                horizonWater(*m_columns.models[m], limits);
            estimation::addHorizonFlags(water, flags);
            m_horizons.water.push_back(water ? water->waterMm
                                             : std::numeric_limits<double>::quiet_NaN());
            end = writeClasses(end, texture, flags, summary);
            end = writeHorizon(end, water);
        } else {
            end = writeClasses(end, texture, flags, summary);
            if (m_settings.profiles) {
                end = std::fill_n(end, HorizonColumns.size(), m_settings.delimiter);
            }
        }
        appendAdded(end, error, out, summary);
        ++summary.rows;
    }
}

std::string failedRowsNote(const Summary& summary) {
    if (summary.rowsWithError == 0) {
        return {};
    }
    return std::to_string(summary.rowsWithError) + " of " + std::to_string(summary.rows) +
           (summary.rows == 1 ? " row" : " rows") +
           " could not be estimated; the error column says why";
}

std::string misreadUnitNote(const Summary& summary, const UnitRemedies& remedies) {
    using estimation::ContentUnit;
    const estimation::ContentUnitTally& units = summary.units;
    const std::optional<ContentUnit> unit = units.misread();
    if (!unit) {
        return {};
    }
    const std::uint64_t all = units.judged(*unit);
    const std::string rows = std::to_string(units.looking(*unit)) + " of " + std::to_string(all) +
                             (all == 1 ? " row" : " rows");
    if (*unit == ContentUnit::fraction) {
        return "sand, silt and clay add up to about 1 on " + rows +
               ": they look like fractions of 1, not percent; " + std::string(remedies.fractions);
    }
    return "sand, silt or clay lie above 100 on " + rows + ": they look like g/kg, not percent; " +
           std::string(remedies.gramsPerKilogram);
}

std::string flaggedRowsNote(const Summary& summary) {
    std::string counts;
    for (std::size_t i = 0; i < summary.rowsFlagged.size(); ++i) {
        if (summary.rowsFlagged[i] == 0) {
            continue;
        }
        counts += counts.empty()
                      ? std::to_string(summary.rowsFlagged[i]) + " of " +
                            std::to_string(summary.rows) + (summary.rows == 1 ? " row" : " rows")
                      : ", " + std::to_string(summary.rowsFlagged[i]);
        counts += " flagged ";
        counts += estimation::code(estimation::allFlags[i]);
    }
    return counts;
}

namespace {

// A chunk with quotes or CRs, through the careful reader. Apart from the loop over unquoted
// lines, whose calls then need no unwinding: in the browser's build that costs a trip through
// JavaScript per call.
void formatParsed(const Chunk& chunk, char delimiter, RowFormatter& formatter, OutputPiece& out,
                  Summary& summary, const std::function<void(OutputPiece&)>& pieceFull) {
    MemoryInput input(chunk.bytes);
    CsvReader reader(input, delimiter, chunk.firstLine);
    Records records;
    while (reader.next(records)) {
        formatter.writeParsed(records[0], out, summary);
        records.clear();
        if (out.size() >= PieceBytes) {
            pieceFull(out);
        }
    }
}

} // namespace

void formatChunk(const Chunk& chunk, char delimiter, RowFormatter& formatter, OutputPiece& out,
                 Summary& summary, const std::function<void(OutputPiece&)>& pieceFull) {
    if (!chunk.unquoted) {
        formatParsed(chunk, delimiter, formatter, out, summary, pieceFull);
        return;
    }
    const std::string_view bytes = chunk.bytes;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        end = end == std::string_view::npos ? bytes.size() : end;
        // The careful reader's limit, counting the line break as it does.
        if (end - start + (end < bytes.size() ? 1 : 0) > MaxRecordBytes) {
            throw tooLong(chunk.firstLine + countLines(bytes.substr(0, start)));
        }
        if (end != start) { // a blank line is no record
            formatter.writeUnquoted(bytes.substr(start, end - start), out, summary);
            if (out.size() >= PieceBytes) {
                pieceFull(out);
            }
        }
        start = end + 1;
    }
}

} // namespace talvo::table
