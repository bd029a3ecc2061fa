#pragma once

// The command line of talvo-batch: its options, their texts and messages, parsed straight
// into the table library's typed settings.

#include "batch/measured_options.h"
#include "batch/soil_files_run.h"
#include "cli/models.h"
#include "table/hydraulics.h"
#include "table/settings.h"

#include <CLI/CLI.hpp>

#include <string>

namespace talvo::batch {

struct Arguments {
    table::Settings settings;
    bool modelGiven = false;
    cli::ModelListing listing;
    bool strict = false; // a flagged row fails the run
    std::string output;
    std::string summary; // --profiles: each profile's sums, whole or not at all
    std::string input = "-";
    MeasuredArguments measured;
    table::HydraulicArguments hydraulics; // --hydraulics: its own table
    SoilFileArguments soilFiles;          // --write: soil files of the profiles
};

// Declares the options on `app`; parsing fills `arguments`. A value the tool cannot use
// throws base::Error with the message for the user.
void addOptions(CLI::App& app, Arguments& arguments);

// Settles what depends on more than one option, after parsing: the delimiter a decimal comma
// implies, and a delimiter equal to the decimal separator. Throws base::Error.
void finishOptions(Arguments& arguments);

// For --help: the columns each model reads.
std::string modelColumns();

} // namespace talvo::batch
