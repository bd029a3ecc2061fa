#include "table/horizon_cells.h"

#include "estimation/estimation.h"
#include "table/input_names.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

namespace talvo::table {

namespace {

using estimation::NoNumber;

// A horizon cell's number: the one its field's pass read as a plain decimal, else `empty`
// where it holds nothing (a fault where it is `required`), its number in any other form, or a
// fault.
double cellNumber(const HorizonCells& cells, HorizonInput input, double empty, bool required,
                  const estimation::DecimalSeparator& decimal, std::string& fault) {
    if (const double read = cells.plain[static_cast<std::size_t>(input)]; !std::isnan(read)) {
        return read;
    }
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

// A measured content in % by volume, from its `percent` cell or its `fraction` (cm3/cm3)
// one, and the cell it came from.
struct Measured {
    double percent = NoNumber;
    HorizonInput from;
};

// The content of the two cells that may hold it, at most one of them filled. Units are
// the usual slip: a dul of 32 is % by volume, an FC of 0.3 % cm3/cm3; either is refused, as
// its water would be a hundred times off.
Measured readMeasured(const HorizonCells& cells, HorizonInput percent, HorizonInput fraction,
                      const estimation::DecimalSeparator& decimal, std::string& fault) {
    const auto fail = [&](HorizonInput input, std::string_view why) {
        if (fault.empty()) {
            fault = estimation::outOfRangeText(headerName(input),
                                               cells.texts[static_cast<std::size_t>(input)]);
            fault += why;
        }
    };
    const double inPercent = cellNumber(cells, percent, NoNumber, false, decimal, fault);
    const double inFraction = cellNumber(cells, fraction, NoNumber, false, decimal, fault);
    if (!std::isnan(inPercent) && !std::isnan(inFraction)) {
        fail(fraction, " (" + std::string(headerName(percent)) + " is given too: keep one)");
        return {NoNumber, fraction};
    }
    if (!std::isnan(inFraction)) {
        if (!(inFraction >= 0.0 && inFraction <= 1.0)) {
            fail(fraction, inFraction > 1.0 && inFraction <= 100.0
                               ? " (cm3/cm3, 0 to 1: this looks like % by volume, which " +
                                     std::string(headerName(percent)) + " holds)"
                               : std::string(" (cm3/cm3, 0 to 1)"));
        }
        return {estimation::shiftedDecimal(inFraction, 2), fraction};
    }
    if (!std::isnan(inPercent) && !estimation::soundWaterContent(inPercent)) {
        fail(percent, " (% by volume, 0 to 100)");
    } else if (percent == HorizonInput::thetaFc && inPercent > 0.0 && inPercent <= 1.0) {
        // No soil holds as little as 1 % at field capacity; a PWP can be that low.
        fail(percent, " (% by volume: this looks like cm3/cm3, which " +
                          std::string(headerName(fraction)) + " holds)");
    }
    return {inPercent, percent};
}

// The horizon's measured FC and PWP; `fault` names the first cell that holds no sound content,
// or a measured FC below the measured PWP.
estimation::MeasuredWater readMeasuredWater(const HorizonCells& cells,
                                            const estimation::DecimalSeparator& decimal,
                                            std::string& fault) {
    const Measured fc =
        readMeasured(cells, HorizonInput::thetaFc, HorizonInput::dul, decimal, fault);
    const Measured pwp =
        readMeasured(cells, HorizonInput::thetaPwp, HorizonInput::ll15, decimal, fault);
    if (fc.percent < pwp.percent && fault.empty()) {
        const auto text = [&cells](HorizonInput input) {
            return cells.texts[static_cast<std::size_t>(input)];
        };
        fault = estimation::outOfRangeText(headerName(fc.from), text(fc.from)) + " below " +
                std::string(headerName(pwp.from)) + ' ' + std::string(trimBlanks(text(pwp.from)));
        fault += " (FC lies above PWP)";
    }
    return {fc.percent, pwp.percent};
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
    // `empty` where a cell is blank or NA, which a depth (`required`) may not be.
    const auto number = [&](HorizonInput input, double empty, bool required) {
        return cellNumber(cells, input, empty, required, settings.decimal, fault);
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
    horizon.measured = readMeasuredWater(cells, settings.decimal, fault);
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (std::all_of(horizon.profile.begin(), horizon.profile.end(), blank)) {
        malformed = "No profile: the profile cell is empty";
    }
    return horizon;
}

} // namespace talvo::table
