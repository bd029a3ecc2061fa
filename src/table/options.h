#pragma once

// The texts a user gives for a table's run, turned into its typed settings with talvo-batch's
// meanings and messages: the command line and the web page parse through here alike. The
// options every front end shares are read by base/options.h.

#include "estimation/estimation.h"
#include "table/settings.h"

#include <string>
#include <string_view>

namespace talvo::table {

// One character other than a quote or a line break, or "tab". Throws base::Error, also for a
// character numbers can hold.
char parseDelimiter(std::string_view text);

// One NAME=HEADER pair into settings.columnNames (or horizonNames), NAME an input's own name
// or a horizon column's (profile, top, bottom, bd, cf, theta_fc, ...). Throws base::Error for
// a malformed pair and for a NAME given twice.
void addColumn(Settings& settings, std::string_view pair);

// Pairs separated by commas ("sand=sandtotal_r,clay=claytotal_r"), each as addColumn takes
// it. A comma splits only before another NAME=, so that a header may hold commas itself.
void addColumns(Settings& settings, std::string_view pairs);

// Settles what depends on more than one setting: a delimiter of '\0' (not given) becomes ','
// or, with a decimal comma, ';'; a delimiter equal to the decimal separator throws base::Error.
void settleDelimiter(Settings& settings);

} // namespace talvo::table
