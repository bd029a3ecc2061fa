#include "batch/warnings.h"

namespace talvo::batch {

namespace {

std::string ofRows(std::uint64_t some, std::uint64_t all) {
    return std::to_string(some) + " of " + std::to_string(all) + (all == 1 ? " row" : " rows");
}

} // namespace

std::optional<std::string> unitWarning(const table::Summary& summary) {
    using estimation::ContentUnit;
    const estimation::ContentUnitTally& units = summary.units;
    const std::optional<ContentUnit> unit = units.misread();
    if (!unit) {
        return std::nullopt;
    }
    const std::string rows = ofRows(units.looking(*unit), units.judged(*unit));
    if (*unit == ContentUnit::fraction) {
        return "sand, silt and clay add up to about 1 on " + rows +
               ": they look like fractions of 1, not percent; --fractions reads them as "
               "percent (0.4 as 40)";
    }
    return "sand, silt or clay lie above 100 on " + rows +
           ": they look like g/kg, not percent; --scale sand=0.1,silt=0.1,clay=0.1 reads g/kg "
           "as percent";
}

std::optional<std::string> strictFailure(const table::Summary& summary) {
    if (summary.rowsToCheck == 0) {
        return std::nullopt;
    }
    return "--strict: " + ofRows(summary.rowsToCheck, summary.rows) +
           " carry flags (see the flags column); the output is written whole";
}

} // namespace talvo::batch
