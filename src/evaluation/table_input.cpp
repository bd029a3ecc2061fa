#include "evaluation/table_input.h"

#include "base/error.h"
#include "base/options.h"
#include "base/printable.h"
#include "base/scale.h"
#include "table/columns.h"
#include "table/csv.h"

#include <cmath>
#include <functional>
#include <optional>
#include <vector>

namespace talvo::evaluation {

namespace {

// Records read and estimated at a time: enough for the engine's quick paths, little memory.
constexpr std::size_t RunRecords = 8192;

std::optional<std::size_t> findHeader(const table::RecordView& header, std::string_view name) {
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (base::sameName(header[i], name)) {
            return i;
        }
    }
    return std::nullopt;
}

std::size_t requireHeader(const table::RecordView& header, std::string_view what,
                          const std::string& name) {
    if (const std::optional<std::size_t> found = findHeader(header, name)) {
        return *found;
    }
    throw base::Error("--measured " + std::string(what) + "=" + base::printable(name) +
                      ": the table has no column '" + base::printable(name) + "'");
}

// The columns of a run of records as numbers: an input, a measurement or the density.
// An input is read as the table's rows read it (g/kg, fractions of 1, organic matter).
class NumberColumn {
public:
    using Reader = std::function<double(std::string_view)>;
    NumberColumn(std::optional<std::size_t> field, Reader reader)
        : m_field(field), m_reader(std::move(reader)) {}

    void read(const table::Records& records) {
        m_values.clear();
        if (!m_field) {
            return;
        }
        for (std::size_t r = 0; r < records.size(); ++r) {
            const table::RecordView record = records[r];
            m_values.push_back(*m_field < record.size() ? m_reader(record[*m_field]) : NoNumber);
        }
    }
    std::span<const double> values() const noexcept { return m_values; }

private:
    std::optional<std::size_t> m_field;
    Reader m_reader;
    std::vector<double> m_values;
};

struct Layout {
    table::Columns columns;
    std::array<std::optional<std::size_t>, 3> measured;
    std::optional<std::size_t> density;
};

Layout findLayout(const table::RecordView& header, const table::Settings& settings,
                  const MeasuredColumns& measured,
                  const std::function<void(const std::string&)>& notice) {
    Layout layout;
    layout.columns = table::findColumns(header, settings, notice);
    for (const Quantity quantity : allQuantities) {
        const auto q = static_cast<std::size_t>(quantity);
        if (!measured.headers[q].empty()) {
            layout.measured[q] = requireHeader(header, name(quantity), measured.headers[q]);
        }
    }
    layout.density = measured.density.empty() ? findHeader(header, DensityColumn)
                                              : requireHeader(header, "bd", measured.density);
    return layout;
}

Setup setupFor(const Layout& layout, const table::Settings& settings,
               const MeasuredColumns& measured) {
    Setup setup;
    setup.models = layout.columns.models;
    for (std::size_t q = 0; q < 3; ++q) {
        setup.measured[q] = layout.measured[q].has_value();
    }
    setup.unit = measured.unit;
    setup.particleSizeScale = settings.particleSizeScale;
    setup.carbonUnit = settings.carbonUnit;
    return setup;
}

// Every column the evaluation reads, turned into numbers one run of records at a time.
// Holds references to `layout` and `settings`.
class RunColumns {
public:
    RunColumns(const Layout& layout, const table::Settings& settings)
        : m_density(layout.density, [&settings](std::string_view text) {
              // A bulk density cell that holds something, but no number, is no density: not
              // one left empty, for which 1.49 stands in.
              const double read = estimation::inputValue(text, settings.decimal).number;
              return std::isnan(read) && !estimation::missingText(text) ? -1.0 : read;
          }) {
        m_inputs.reserve(estimation::allInputs.size());
        for (const estimation::Input soilInput : estimation::allInputs) {
            m_inputs.emplace_back(
                layout.columns.input[static_cast<std::size_t>(soilInput)],
                [&layout, &settings, soilInput](std::string_view text) {
                    return table::readInputCell(text, soilInput, settings, layout.columns).number;
                });
        }
        const auto plainNumber = [&settings](std::string_view text) {
            return estimation::inputValue(text, settings.decimal).number;
        };
        for (const std::optional<std::size_t>& field : layout.measured) {
            m_measurements.emplace_back(field, plainNumber);
        }
    }

    // The rows of `records`, valid until the next call.
    Rows read(const table::Records& records) {
        Rows rows;
        rows.soils.count = records.size();
        for (std::size_t i = 0; i < m_inputs.size(); ++i) {
            m_inputs[i].read(records);
            rows.soils.inputs[i] = m_inputs[i].values();
        }
        for (std::size_t q = 0; q < m_measurements.size(); ++q) {
            m_measurements[q].read(records);
            rows.measured[q] = m_measurements[q].values();
        }
        m_density.read(records);
        rows.density = m_density.values();
        m_lines.clear();
        for (std::size_t r = 0; r < records.size(); ++r) {
            m_lines.push_back(records[r].line());
        }
        rows.lines = m_lines;
        return rows;
    }

private:
    std::vector<NumberColumn> m_inputs;
    std::vector<NumberColumn> m_measurements;
    NumberColumn m_density;
    std::vector<std::uint64_t> m_lines; // as the table's errors name them, the header line 1
};

} // namespace

Outcome evaluateTable(std::istream& input, const table::Settings& settings,
                      const MeasuredColumns& measured,
                      const std::function<void(const std::string&)>& notice) {
    table::CsvReader reader(input, settings.delimiter);
    table::Records records;
    if (!reader.next(records)) {
        throw base::Error("the input is empty: the first row must name the columns");
    }
    const Layout layout = findLayout(records[0], settings, measured, notice);
    Evaluation evaluation(setupFor(layout, settings, measured));
    RunColumns columns(layout, settings);
    bool more = true;
    while (more) {
        records.clear();
        while (more && records.size() < RunRecords) {
            more = reader.next(records);
        }
        const Rows rows = columns.read(records);
        if (rows.soils.count > 0) {
            evaluation.add(rows);
        }
    }
    return evaluation.outcome();
}

} // namespace talvo::evaluation
