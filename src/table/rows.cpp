#include "table/rows.h"

#include "estimation/estimation.h"
#include "table/formulas.h"
#include "table/input_field.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

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

// memchr: std::find steps through the rest of the line in fours, and most fields are a few
// chars.
inline const char* fieldEnd(const char* start, const char* last, char delimiter) {
    const void* const found = std::memchr(start, delimiter, static_cast<std::size_t>(last - start));
    return found != nullptr ? static_cast<const char*>(found) : last;
}

// A depth, bd or cf, read as its field is found, as the inputs are: `number` where it is a
// plain decimal, left alone otherwise. Returns the field's end.
template <typename IsDelimiter>
inline const char* plainField(const char* start, const char* last, char separator,
                              IsDelimiter isDelimiter, double& number) {
    const estimation::PlainField plain =
        estimation::plainDecimalField<estimation::FieldEnd::guarded>(start, last, separator,
                                                                     isDelimiter);
    number = plain.decimal ? plain.decimal->value() : number;
    return plain.end;
}

// The text of each horizon input whose column is `field`, with its `number` where the field's
// pass read a depth, bd or cf as a plain decimal. Returns the next column wanted.
template <typename Wanted>
inline Wanted keepHorizonCells(Wanted wanted, Wanted wantedEnd, std::size_t field,
                               std::string_view text, double number, HorizonCells& cells) {
    for (; wanted != wantedEnd && wanted->first == field; ++wanted) {
        const auto at = static_cast<std::size_t>(wanted->second);
        cells.texts[at] = text;
        cells.plain[at] = wanted->second == HorizonInput::profile
                              ? std::numeric_limits<double>::quiet_NaN()
                              : number;
    }
    return wanted;
}

} // namespace

RowFormatter::RowFormatter(const Settings& settings, const Columns& columns)
    : m_settings(settings), m_columns(columns),
      m_spreads(settings.particleSizeScale, settings.carbonUnit, settings.draws) {
    for (const estimation::PtfModel* model : columns.models) {
        std::string text;
        appendField(text, model->listText, settings.delimiter);
        text += settings.delimiter;
        appendField(text, model->unit, settings.delimiter);
        m_modelTexts.emplace_back(text);
    }
    // Sand, silt and clay describe the soil whatever the model (its texture and their sum);
    // OC only matters to the models that read it or are judged on it, and to soil files.
    for (const estimation::Input input : estimation::allInputs) {
        const std::optional<std::size_t>& column = columns.input[static_cast<std::size_t>(input)];
        if (column.has_value() && (input != estimation::Input::oc || columns.read.contains(input) ||
                                   settings.soilDetails)) {
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
        std::string field;
        appendField(field,
                    estimation::flagsText(estimation::Flags(static_cast<std::uint16_t>(bits))),
                    settings.delimiter);
        m_flagTexts[bits] = ShortText(field);
    }
    m_lineEnd = ShortText(columns.lineEnd);
    // The model's, texture and flags texts and the line's end each take a whole ShortText.
    static_assert(4 * ShortText::Capacity + ErrorCapacity +
                      3 * (estimation::ResultTextCapacity + 3) + 5 +
                      (HorizonColumns.size() + SpreadColumns.size() + ModelSpreadColumns.size()) *
                          (estimation::ResultTextCapacity + 3) <=
                  AddedCapacity);
    m_scaled =
        columns.organicMatter || std::any_of(settings.scales.begin(), settings.scales.end(),
                                             [](const std::optional<base::DecimalScale>& scale) {
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
    using estimation::NoNumber;
    for (const char* start = line.data();; ++field) {
        const char* end = nullptr;
        double number = NoNumber; // a horizon cell's, where it is a plain decimal
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
            end = plainField(start, last, decimal.get(), isDelimiter, number);
        } else {
            end = fieldEnd(start, last, delimiter);
        }
        const std::string_view text(start, static_cast<std::size_t>(end - start));
        if (horizonField) {
            horizonWanted =
                keepHorizonCells(horizonWanted, horizonsEnd, field, text, number, cells);
        }
        // The byte at an empty last field's start is the line's end: never one of these.
        if (mayBeFormula(*start) && field < count && readAsFormula(text)) {
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
        m_horizon = readHorizon(cells, m_settings, m_horizonFault, m_malformed);
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
        m_horizon =
            readHorizon(horizonCells(record, m_columns), m_settings, m_horizonFault, m_malformed);
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
    return fieldText(soil, found->first);
}

std::string_view RowFormatter::fieldText(const Soil& soil, std::size_t column) const {
    if (soil.record != nullptr) {
        return (*soil.record)[column];
    }
    // Split as the row was read: a delimiter ends every field, the decimal separator too.
    // std::find rather than a call to memchr for each field: a table may fail on every row.
    const char delimiter = m_settings.delimiter;
    const char* start = soil.line.data();
    const char* const last = start + soil.line.size();
    for (std::size_t field = 0; field < column && start != last; ++field) {
        start = std::find(start, last, delimiter);
        start += start != last ? 1 : 0;
    }
    return {start, static_cast<std::size_t>(std::find(start, last, delimiter) - start)};
}

inline std::optional<estimation::HorizonWater>
RowFormatter::horizonWater(const estimation::PtfModel& model,
                           const std::optional<std::array<double, 2>>& limits) const {
    // A horizon cell without a sound number leaves no water.
    if (!m_horizonFault.empty()) {
        return std::nullopt;
    }
    // Without an estimate, measured FC and PWP still give the horizon its water.
    constexpr double None = std::numeric_limits<double>::quiet_NaN();
    const std::array<double, 2> estimated = limits.value_or(std::array{None, None});
    const double thickness = (m_horizon.bottom - m_horizon.top) * 10.0;
    return estimation::horizonWater(model, estimated[0], estimated[1], m_horizon.soil, thickness,
                                    m_horizon.measured);
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

const RowFormatter::ShortText& RowFormatter::textureField(const estimation::InputValues& values,
                                                          Summary& summary) const {
    const auto number = [&](estimation::Input input) { return at(values, input).number; };
    const double sand = number(estimation::Input::sand);
    const double silt = number(estimation::Input::silt);
    const double clay = number(estimation::Input::clay);
    const auto found = estimation::textureClass(sand, silt, clay, m_settings.particleSizeScale);
    if (!found) {
        summary.units.add(sand, silt, clay);
        return m_noTexture;
    }
    summary.units.addClassed();
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
                                         const Soil& soil, std::string_view& failure,
                                         estimation::Flags& flags, Summary& summary) {
    const char delimiter = m_settings.delimiter;
    const char separator = m_settings.decimal.get();
    flags = estimated.flags();
    if (const auto& failed = estimated.failure()) {
        // The cell of the input that caused it, where one did.
        // Into the text of the row before: a table may fail on every row.
        m_failure.clear();
        const std::string_view text =
            failed->input ? cell(soil, *failed->input) : std::string_view();
        estimation::appendFailureText(m_failure, *failed, text);
        summary.rowsWithDecimalComma += decimalComma(*failed, text) ? 1U : 0U;
        failure = m_failure;
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
    if (m_settings.uncertain() && malformed.empty()) {
        readSpreads(soil);
    }
    // Every input column was converted once, whatever each model reads; a model fails only on
    // the inputs it reads.
    const ShortText& texture = malformed.empty() ? textureField(soil.values, summary) : m_noTexture;
    const bool horizon = m_settings.profiles && malformed.empty();
    if (horizon) {
        m_horizons.add(m_horizon.profile, m_horizon.top, m_horizon.bottom);
        if (m_settings.soilDetails) {
            keepSoilDetails(soil.values);
        }
    }
    m_modelSpread = {};
    for (std::size_t m = 0; m < m_columns.models.size(); ++m) {
        writeModelRow(shape, m, soil, {texture, horizon, malformed}, out, summary);
    }
    if (m_settings.modelSpread) {
        writeModelSpread(shape, texture, malformed, out);
    }
}

void RowFormatter::keepSoilDetails(const estimation::InputValues& values) {
    using estimation::Input;
    double carbon = at(values, Input::oc).number;
    carbon =
        m_settings.carbonUnit == estimation::CarbonUnit::gramsPerKilogram ? carbon / 10.0 : carbon;
    carbon = m_columns.organicMatter ? carbon / estimation::OrganicMatterPerCarbon : carbon;
    const estimation::HorizonSoil& horizon = m_horizon.soil;
    m_horizons.details.insert(m_horizons.details.end(),
                              {at(values, Input::sand).number, at(values, Input::silt).number,
                               at(values, Input::clay).number, carbon, horizon.bulkDensity,
                               horizon.coarseFragments});
}

void RowFormatter::writeModelRow(const Shape& shape, std::size_t m, const Soil& soil,
                                 const RowState& row, OutputPiece& out, Summary& summary) {
    const ShortText& texture = row.texture;
    const bool horizon = row.horizon;
    const std::string_view malformed = row.malformed;
    // Straight into `out`: the record's fields, the padding, then the added columns.
    char* end = out.room(shape.fields.size() + shape.padding + AddedCapacity);
    end = std::copy(shape.fields.begin(), shape.fields.end(), end);
    end = writeModel(end, m, shape.padding);
    std::string_view failure; // the model's, where its estimate failed
    estimation::Flags flags;  // a malformed row has none: its numbers were not read
    std::optional<std::array<double, 2>> limits;            // a horizon's FC and PWP, 15 digits
    const estimation::InputValues* estimatedSoil = nullptr; // where the model estimated it
    if (malformed.empty()) {
        // Built where it is read: a copy read back in wider pieces than it was written in
        // stalls every row on a failed store forward. A horizon's water is summed from
        // the model's fifteen digits, whatever the precision its texts are written in.
        const estimation::PtfModel& model = *m_columns.models[m];
        const estimation::InputValues& values = carbonFor(model, soil.values);
        summary.units.addCarbon(model, at(values, estimation::Input::oc).number);
        const estimation::SoilEstimate estimated = estimation::estimateSoil(
            model, values, m_settings.precision, m_settings.particleSizeScale);
        end = writeEstimate(end, estimated, soil, failure, flags, summary);
        estimatedSoil = estimated.failure() ? nullptr : &values;
        // From the texts as written, so that the mean can be checked from the table.
        if (const auto numbers = estimated.numbers(); m_settings.modelSpread && numbers) {
            m_modelSpread.add(model, *numbers);
        }
        if (horizon && !estimated.failure()) {
            limits = estimated.fifteenDigitLimits();
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
        if (m_settings.soilDetails) {
            constexpr double None = std::numeric_limits<double>::quiet_NaN();
            m_horizons.details.insert(m_horizons.details.end(), {water ? water->thetaFc : None,
                                                                 water ? water->thetaPwp : None});
        }
        end = writeHorizon(writeClasses(end, texture, flags, summary), water);
    } else {
        end = writeClasses(end, texture, flags, summary);
        end = m_settings.profiles ? std::fill_n(end, HorizonColumns.size(), m_settings.delimiter)
                                  : end;
    }
    std::string_view spreadFault;
    end = writeSpreads(end, *m_columns.models[m], estimatedSoil, spreadFault);
    if (m_settings.modelSpread) {
        end = std::fill_n(end, ModelSpreadColumns.size(), m_settings.delimiter);
    }
    appendAdded(end, rowError(malformed, failure, spreadFault), out, summary);
    ++summary.rows;
}

// ---- Input uncertainty (--sd)

void RowFormatter::readSpreads(const Soil& soil) {
    for (const estimation::Input input : estimation::allInputs) {
        const auto i = static_cast<std::size_t>(input);
        const std::optional<base::SpreadSource>& source = m_settings.spreads[i];
        m_spread[i] = 0.0;
        m_spreadFaults[i].clear();
        if (!source) {
            continue;
        }
        if (source->column.empty()) {
            // One number for every row, read as the input's cells are: at its scale, organic
            // matter as carbon.
            const std::optional<base::DecimalScale>& scale = m_settings.scales[i];
            const double sd = scale ? scale->apply(source->value) : source->value;
            const bool organic = input == estimation::Input::oc && m_columns.organicMatter;
            m_spread[i] = organic ? sd / estimation::OrganicMatterPerCarbon : sd;
            continue;
        }
        const std::string_view text = fieldText(soil, *m_columns.spread[i]);
        const estimation::InputValue value = readInputCell(text, input, m_settings, m_columns);
        if (value.failure == estimation::FailureKind::typeMismatch) {
            m_spreadFaults[i] = estimation::typeMismatchText(source->column, text);
        } else if (value.failure || !(value.number >= 0.0)) {
            m_spreadFaults[i] = estimation::outOfRangeText(source->column, text);
        } else {
            m_spread[i] = value.number;
        }
    }
}

std::string_view RowFormatter::rowError(std::string_view malformed, std::string_view failure,
                                        std::string_view spreadFault) const {
    const std::string_view other = !m_horizonFault.empty() ? m_horizonFault : spreadFault;
    return !malformed.empty() ? malformed : (!failure.empty() ? failure : other);
}

char* RowFormatter::writeSpreads(char* end, const estimation::PtfModel& model,
                                 const estimation::InputValues* values, std::string_view& fault) {
    if (!m_settings.uncertain()) {
        return end;
    }
    const char delimiter = m_settings.delimiter;
    const auto none = [&] { return std::fill_n(end, SpreadColumns.size(), delimiter); };
    if (values == nullptr) {
        return none(); // the row or the model's estimate failed, and says so
    }
    // Sand, silt and clay move each other, so their spreads count for every model; OC's only
    // for a model that reads it.
    const bool readsCarbon = model.readInputs.contains(estimation::Input::oc);
    for (const estimation::Input input : estimation::allInputs) {
        const std::string& inputFault = m_spreadFaults[static_cast<std::size_t>(input)];
        if (!inputFault.empty() && (input != estimation::Input::oc || readsCarbon)) {
            fault = inputFault;
            return none();
        }
    }
    const base::SpreadOutcome spread = m_spreads.of(model, *values, m_spread);
    if (!spread.failure.empty()) {
        fault = spread.failure;
        return none();
    }
    for (const double value : spread.results) {
        end = writeNumber(end, [&](char* at) { return writeNumberText(at, value, m_settings); });
        *end++ = delimiter;
    }
    return end;
}

// ---- Model spread (--spread)

// Not counted as a row of the run: it repeats what the models' rows say, errors included.
void RowFormatter::writeModelSpread(const Shape& shape, const ShortText& texture,
                                    std::string_view malformed, OutputPiece& out) {
    const char delimiter = m_settings.delimiter;
    const int count = m_modelSpread.count();
    char* end = out.room(shape.fields.size() + shape.padding + AddedCapacity);
    end = std::copy(shape.fields.begin(), shape.fields.end(), end);
    end = std::fill_n(end, shape.padding, delimiter);
    end = writeField(end, estimation::spreadLabel(count), delimiter);
    *end++ = delimiter;
    end = writeField(end, estimation::SpreadUnit, delimiter);
    const auto number = [&](double value) {
        return writeNumber(end, [&](char* at) { return writeNumberText(at, value, m_settings); });
    };
    for (const Result result : results) {
        *end++ = delimiter;
        end = count > 0 ? number(m_modelSpread.mean(result)) : end;
    }
    // Texture describes the soil; flags stay with each model's row.
    *end++ = delimiter;
    end = texture.copyTo(end);
    end = std::fill_n(end, 2, delimiter);
    end = m_settings.profiles ? std::fill_n(end, HorizonColumns.size(), delimiter) : end;
    end = m_settings.uncertain() ? std::fill_n(end, SpreadColumns.size(), delimiter) : end;
    for (const Result result : results) {
        for (const double value : {count > 0 ? m_modelSpread.lowest(result) : 0.0,
                                   count > 0 ? m_modelSpread.highest(result) : 0.0}) {
            end = count > 0 ? number(value) : end;
            *end++ = delimiter;
        }
    }
    const std::string_view error =
        !malformed.empty() ? malformed : (count > 0 ? "" : "No mean: no model gave a number");
    if (quotedFieldBytes(error.size()) > ErrorCapacity) {
        out.commit(end); // a long row's reason takes room of its own, as in its models' rows
        end = out.room(quotedFieldBytes(error.size()) + ShortText::Capacity);
    }
    end = error.empty() ? end : writeField(end, error, delimiter);
    out.commit(m_lineEnd.copyTo(end));
}

} // namespace talvo::table
