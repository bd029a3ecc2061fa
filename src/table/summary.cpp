#include "table/summary.h"

#include <optional>

namespace talvo::table {

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

} // namespace talvo::table
