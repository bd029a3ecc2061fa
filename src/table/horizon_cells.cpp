#include "table/horizon_cells.h"

#include "estimation/estimation.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace talvo::table {

namespace {

using estimation::NoNumber;

// A horizon cell that was not read as a plain decimal: `empty` where it holds nothing (a fault
// where it is `required`), its number in any other form, or a fault.
double cellNumber(const HorizonCells& cells, HorizonInput input, double empty, bool required,
                  const estimation::DecimalSeparator& decimal, std::string& fault) {
    const std::string_view text = cells.texts[static_cast<std::size_t>(input)];
    // The first cell that holds no number is named in the row's error: its horizon has no
    // water, and the user would not learn why.
    const auto faulty = [&] {
        if (fault.empty()) {
            fault = estimation::typeMismatchText(headerName(input), text);
        }
        return NoNumber;
    };
    if (const auto plain = estimation::plainDecimal(text, decimal.get())) {
        return plain->value();
    }
    if (estimation::missingText(text)) {
        return required ? faulty() : empty;
    }
    const estimation::ParsedNumber parsed = estimation::readNumber(text, decimal);
    return parsed.failure ? faulty() : parsed.value;
}

} // namespace

HorizonCells horizonCells(const RecordView& record, const Columns& columns) {
    HorizonCells cells;
    for (std::size_t i = 0; i < cells.texts.size(); ++i) {
        if (const std::optional<std::size_t>& column = columns.horizon[i]) {
            cells.texts[i] = record[*column];
        }
    }
    return cells;
}

Horizon readHorizon(const HorizonCells& cells, const Settings& settings, std::string& fault,
                    std::string& malformed) {
    fault.clear();
    // A cell its field's pass did not read as a plain decimal is read here: `empty` where it
    // is blank or NA, which a depth (`required`) may not be.
    const auto number = [&](HorizonInput input, double empty, bool required) {
        const double read = cells.plain[static_cast<std::size_t>(input)];
        return std::isnan(read) ? cellNumber(cells, input, empty, required, settings.decimal, fault)
                                : read;
    };
    const auto text = [&](HorizonInput input) {
        return cells.texts[static_cast<std::size_t>(input)];
    };
    Horizon horizon;
    horizon.profile = text(HorizonInput::profile);
    horizon.top = number(HorizonInput::top, NoNumber, true);
    horizon.bottom = number(HorizonInput::bottom, NoNumber, true);
    horizon.soil.basis = settings.basis;
    horizon.soil.bulkDensity = number(HorizonInput::bd, NoNumber, false); // none measured: assumed
    horizon.soil.coarseFragments = number(HorizonInput::cf, 0.0, false);  // none given: no stones
    // A bulk density given as text that is no number is not one left out: not assumed.
    if (std::isnan(horizon.soil.bulkDensity) && !estimation::missingText(text(HorizonInput::bd))) {
        horizon.soil.bulkDensity = -1.0;
    }
    // After a cell without a number, the first with a number no soil has is named.
    const auto outside = [&](HorizonInput input, bool sound) {
        if (!sound && fault.empty()) {
            fault = estimation::outOfRangeText(headerName(input), text(input));
        }
    };
    outside(HorizonInput::top, estimation::soundDepth(horizon.top));
    outside(HorizonInput::bottom, estimation::soundDepth(horizon.bottom));
    outside(HorizonInput::bd, std::isnan(horizon.soil.bulkDensity) ||
                                  estimation::soundBulkDensity(horizon.soil.bulkDensity));
    outside(HorizonInput::cf, estimation::soundStones(horizon.soil.coarseFragments));
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (std::all_of(horizon.profile.begin(), horizon.profile.end(), blank)) {
        malformed = "No profile: the profile cell is empty";
    }
    return horizon;
}

} // namespace talvo::table
