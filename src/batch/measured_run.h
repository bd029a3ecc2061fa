#pragma once

#include "batch/options.h"
#include "cli/tool.h"

namespace talvo::batch {

// A run with --measured: the scores, the report and, with --output, the table as usual.
// Every file is written whole or not at all. Returns the exit status; throws base::Error.
int runMeasured(const cli::Tool& tool, const Arguments& arguments);

} // namespace talvo::batch
