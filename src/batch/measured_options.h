#pragma once

// The options of talvo-batch that score the models against measured columns.

#include "evaluation/table_input.h"

#include <CLI/CLI.hpp>

#include <string>

namespace talvo::batch {

struct MeasuredArguments {
    evaluation::MeasuredColumns columns;
    bool given = false;  // --measured: the run scores the models
    std::string metrics; // file of the scores; empty: standard output unless the table goes there
    std::string report;  // HTML file; empty: none
};

// Declares --measured, --measured-unit, --metrics and --report. Throws base::Error.
void addMeasuredOptions(CLI::App& app, MeasuredArguments& arguments);

// Settles what depends on other options: --metrics and --report without --measured, and
// the same file named twice. Throws base::Error.
void finishMeasuredOptions(const MeasuredArguments& arguments, const std::string& output);

} // namespace talvo::batch
