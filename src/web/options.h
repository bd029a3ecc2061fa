#pragma once

// The table tab's options, as the page passes them, turned into the libraries' typed settings
// through the parsers talvo-batch uses, so that both give the same meanings and messages.

#include "evaluation/table_input.h"
#include "table/settings.h"

#include <emscripten/val.h>

namespace talvo::web {

// model ("all" or a list), decimal, delimiter ("" for the default, "tab"), precision, prefix,
// units of sand, silt and clay ("" for percent, "fractions", "g/kg"), ocUnit ("" as entered,
// "g/kg" or "%", moved into each model's own), and the header of each input
// ("" for the input's own name); profiles (true for a horizon table) with rootDepth, depletion
// and cfBy as talvo-batch's --root-depth, --depletion and --cf-by take them. Throws
// base::Error.
table::Settings settingsFrom(const emscripten::val& options);

// fc, pwp, awc: the headers of measured columns ("" for none); bd: the bulk density's ("" for
// a column named bd); measuredUnit: "v/v", "w/w" or "fraction". Throws base::Error.
evaluation::MeasuredColumns measuredFrom(const emscripten::val& options);

} // namespace talvo::web
