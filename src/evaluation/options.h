#pragma once

// The texts a user gives for the measured columns, turned into typed settings with
// talvo-batch's meanings and messages: its command line and the web page's table tab parse
// through here alike.

#include "base/options.h"
#include "evaluation/table_input.h"

#include <string_view>

namespace talvo::evaluation {

// NAME one of fc, pwp, awc (measured) or bd (bulk density), and its column's header. Throws
// base::Error for another name, an empty header, and a name given twice.
void addMeasuredColumn(MeasuredColumns& columns, std::string_view name, std::string_view header);

// "fc=FC_lab,pwp=PWP_lab": NAME=HEADER pairs separated by commas, each as addMeasuredColumn
// takes it. A header may hold commas itself ("FC (%, v/v)"): a pair starts only where a comma
// is followed by a known name and '='. Throws base::Error.
void addMeasuredColumns(MeasuredColumns& columns, std::string_view text);

// --measured-unit: "v/v", "w/w" or "fraction" (cm3/cm3), in any case. Throws base::Error.
MeasuredUnit parseMeasuredUnit(std::string_view text,
                               base::Spelling spelling = base::Spelling::option);

// Whether any of fc, pwp and awc has a column.
bool anyMeasured(const MeasuredColumns& columns) noexcept;

// Throws base::Error when no measured column is named: there would be nothing to score.
void requireMeasured(const MeasuredColumns& columns);

} // namespace talvo::evaluation
