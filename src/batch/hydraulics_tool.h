#pragma once

// talvo-batch --hydraulics as a run of the tool: its files, and its exit status.

#include "cli/tool.h"

namespace talvo::batch {

struct Arguments;

// A run with --hydraulics; returns the exit status. Throws base::Error.
int runHydraulics(const cli::Tool& tool, const Arguments& arguments);

} // namespace talvo::batch
