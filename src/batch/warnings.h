#pragma once

// What talvo-batch says after a run, beyond the rows themselves: contents whose unit looks
// misread, and the flagged rows that --strict refuses.

#include "table/rows.h"

#include <optional>
#include <string>
#include <vector>

namespace talvo::batch {

// One line naming the option that reads the contents right, when most rows look like
// fractions of 1 or like g/kg; nothing when they look like percent.
std::optional<std::string> unitWarning(const table::Summary& summary);

// A line for each model that read organic carbon above its calibration, naming --oc-unit.
std::vector<std::string> carbonWarnings(const table::Summary& summary);
// One line naming --decimal , when rows failed on numbers with a decimal comma.
std::optional<std::string> decimalWarning(const table::Summary& summary);

// The line --strict ends a run with when rows carry flags; nothing when none do.
std::optional<std::string> strictFailure(const table::Summary& summary);

} // namespace talvo::batch
