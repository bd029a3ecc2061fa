#pragma once

// Estimates every row of a CSV table with the calculator's own engine.

#include "base/error.h"
#include "table/horizons.h"
#include "table/hydraulics.h"
#include "table/pipeline.h"
#include "table/rows.h"
#include "table/settings.h"

#include <istream>
#include <ostream>

namespace talvo::table {

// Reads the CSV table from `input` and writes it to `output` with the columns model, fc,
// pwp, awc and error added: one row per record and model, in input order. Memory stays
// bounded whatever the length or width of the table. Throws base::Error (CsvError for the input
// itself, after the rows before the damage have been written). With options.profiles, the
// profiles are gathered once the table is read.
Summary runTable(std::istream& input, std::ostream& output, const Settings& settings,
                 const RunOptions& options = {});

// The profiles' summary to `output`, as writeProfileSummary writes it, its rows formatted by
// threadsFor(`threads`) threads at once.
void writeProfileSummary(const ProfileTable& profiles, const Settings& settings,
                         std::ostream& output, unsigned threads);

// talvo-batch --hydraulics's table, as writeHydraulics writes it, its chunks formatted by
// threadsFor(`threads`) threads at once. Throws as writeHydraulics.
HydraulicTally runHydraulics(std::istream& input, std::ostream& output, const Settings& settings,
                             const HydraulicArguments& arguments, HydraulicProfiles* profiles,
                             unsigned threads);

} // namespace talvo::table
