#include "table/rows.h"

#include "estimation/decimal_form.h"
#include "estimation/estimate.h"
#include "estimation/failure.h"
#include "estimation/plausibility.h"
#include "estimation/texture.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace talvo::table {

namespace {

using estimation::Result;

constexpr std::array results{Result::fc, Result::pwp, Result::awc};

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
        m_modelTexts.push_back(std::move(text));
    }
    for (const estimation::Input input : estimation::allInputs) {
        const std::optional<std::size_t>& column = columns.input[static_cast<std::size_t>(input)];
        if (column.has_value()) {
            m_inputColumns.emplace_back(*column, input);
            m_present |= estimation::InputSet{input};
        }
    }
    std::sort(m_inputColumns.begin(), m_inputColumns.end());
    m_numbersNeedQuotes =
        std::string_view("0123456789+-eE").find(settings.delimiter) != std::string_view::npos ||
        settings.delimiter == settings.decimal.get();
}

void RowFormatter::writePlain(std::string_view line, std::string& out, Summary& summary) {
    // One pass over the line: count its fields and keep the input columns on the way.
    const char delimiter = m_settings.delimiter;
    estimation::InputTexts inputs{};
    const std::size_t wanted = m_inputColumns.size();
    std::size_t next = 0; // the next input column to find
    std::size_t field = 0;
    std::size_t start = 0;
    std::size_t split = line.size(); // end of the header's last column
    const auto endField = [&](std::size_t end) {
        if (next < wanted && m_inputColumns[next].first == field) {
            inputs[static_cast<std::size_t>(m_inputColumns[next].second)] =
                line.substr(start, end - start);
            ++next;
        }
        if (field + 1 == m_columns.count) {
            split = end;
        }
        ++field;
        start = end + 1;
    };
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == delimiter) {
            endField(i);
        }
    }
    endField(line.size());

    if (field == m_columns.count) {
        writeRows({.fields = line, .padding = 1, .extra = {}}, inputs, {}, out, summary);
        return;
    }
    // A short row is padded and a long row's extra fields go last, so that every column keeps
    // its place and no text is lost.
    Shape shape{.fields = line, .padding = 1, .extra = {}};
    if (field < m_columns.count) {
        shape.padding = m_columns.count - field + 1;
    } else {
        shape.fields = line.substr(0, split);
        shape.extra = line.substr(split);
    }
    m_malformed = malformedReason(field, m_columns.count, 0);
    writeRows(shape, {}, m_malformed, out, summary);
}

void RowFormatter::writeParsed(const RecordView& record, std::string& out, Summary& summary) {
    const char delimiter = m_settings.delimiter;
    const std::size_t count = m_columns.count;
    m_fields.clear();
    m_extra.clear();
    for (std::size_t i = 0; i < std::min(count, record.size()); ++i) {
        if (i != 0) {
            m_fields += delimiter;
        }
        appendField(m_fields, record[i], delimiter);
    }
    for (std::size_t i = count; i < record.size(); ++i) {
        m_extra += delimiter;
        appendField(m_extra, record[i], delimiter);
    }
    const Shape shape{.fields = m_fields,
                      .padding = record.size() < count ? count - record.size() + 1 : 1,
                      .extra = m_extra};
    m_malformed = malformedReason(record.size(), count, record.strayQuoteField());
    estimation::InputTexts inputs{};
    if (m_malformed.empty()) {
        for (const auto& [column, input] : m_inputColumns) {
            inputs[static_cast<std::size_t>(input)] = record[column];
        }
    }
    writeRows(shape, inputs, m_malformed, out, summary);
}

void RowFormatter::writeRows(const Shape& shape, const estimation::InputTexts& inputs,
                             std::string_view malformed, std::string& out, Summary& summary) {
    const char delimiter = m_settings.delimiter;
    ++summary.records;
    // Every input column is converted once: the texture and the sum describe the soil
    // whatever the model; a model fails only on the inputs it reads.
    estimation::InputValues values{};
    estimation::Flags soil;
    std::string_view texture;
    if (malformed.empty()) {
        values = estimation::convertInputs(inputs, m_present, m_settings.decimal);
        soil = estimation::soilFlags(values);
        const auto number = [&](estimation::Input input) { return at(values, input).number; };
        if (const auto found = estimation::textureClass(number(estimation::Input::sand),
                                                        number(estimation::Input::silt),
                                                        number(estimation::Input::clay))) {
            texture = estimation::name(*found);
        }
    }
    for (std::size_t m = 0; m < m_columns.models.size(); ++m) {
        out += shape.fields;
        out.append(shape.padding, delimiter);
        out += m_modelTexts[m];
        std::string_view error = malformed;
        estimation::Flags flags = soil;
        if (error.empty()) {
            const estimation::PtfModel& model = *m_columns.models[m];
            const estimation::Estimate estimated = estimate(model, values);
            flags |= estimation::modelFlags(model, values, estimated);
            if (estimated.succeeded()) {
                for (const Result result : results) {
                    out += delimiter;
                    writeNumber(estimated[result], out);
                }
            } else {
                error = estimation::failureText(*estimated.failure);
                out.append(3, delimiter);
            }
        } else {
            out.append(3, delimiter);
        }
        out += delimiter;
        appendField(out, texture, delimiter);
        out += delimiter;
        if (!flags.empty()) {
            m_flags.clear();
            for (const estimation::Flag flag : estimation::allFlags) {
                if (flags.contains(flag)) {
                    m_flags += m_flags.empty() ? "" : ";";
                    m_flags += estimation::code(flag);
                }
            }
            appendField(out, m_flags, delimiter);
        }
        out += delimiter;
        if (!error.empty()) {
            appendField(out, error, delimiter);
            ++summary.rowsWithError;
        }
        out += shape.extra;
        out += m_columns.lineEnd;
        ++summary.rows;
    }
}

void RowFormatter::writeNumber(const estimation::DecimalForm& form, std::string& out) const {
    std::array<char, estimation::FixedTextCapacity> text; // NOLINT: written next
    const char separator = m_settings.decimal.get();
    char* const end = m_settings.precision == Precision::fixed
                          ? estimation::writeFixed(text.data(), form, separator)
                          : estimation::writeGeneral(text.data(), form, separator);
    const std::string_view number(text.data(), static_cast<std::size_t>(end - text.data()));
    if (m_numbersNeedQuotes) {
        appendField(out, number, m_settings.delimiter);
    } else {
        out += number;
    }
}

} // namespace talvo::table
