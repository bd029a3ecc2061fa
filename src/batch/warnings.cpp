#include "batch/warnings.h"

#include "estimation/estimation.h"

#include <utility>

namespace talvo::batch {

namespace {

std::string ofRows(std::uint64_t some, std::uint64_t all) {
    return std::to_string(some) + " of " + std::to_string(all) + (all == 1 ? " row" : " rows");
}

} // namespace

std::optional<std::string> unitWarning(const table::Summary& summary) {
    std::string note = table::misreadUnitNote(
        summary, {.fractions = "--fractions reads them as percent (0.4 as 40)",
                  .gramsPerKilogram = "--scale sand=0.1,silt=0.1,clay=0.1 reads g/kg as percent"});
    if (note.empty()) {
        return std::nullopt;
    }
    return note;
}

std::vector<std::string> carbonWarnings(const table::Summary& summary) {
    std::vector<std::string> lines;
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        std::string note =
            summary.units.carbonNote(model, "rows", "if yours is in g/kg, give --oc-unit g/kg");
        if (!note.empty()) {
            lines.push_back(std::move(note));
        }
    }
    return lines;
}

std::optional<std::string> decimalWarning(const table::Summary& summary) {
    if (summary.rowsWithDecimalComma == 0) {
        return std::nullopt;
    }
    return ofRows(summary.rowsWithDecimalComma, summary.rows) +
           " failed on numbers written with a decimal comma: --decimal , reads them";
}

std::optional<std::string> strictFailure(const table::Summary& summary) {
    if (summary.rowsToCheck == 0) {
        return std::nullopt;
    }
    return "--strict: " + ofRows(summary.rowsToCheck, summary.rows) +
           " carry flags (see the flags column); the output is written whole";
}

} // namespace talvo::batch
