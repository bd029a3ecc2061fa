#pragma once

// The catalogue as the command-line tools show it: --list-models, with --long the sheets. The
// models --model names are read by base/options.h, which every front end shares.

#include "cli/tool.h"
#include "estimation/estimation.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

namespace talvo::cli {

// What --list-models and --long ask for.
struct ModelListing {
    bool models = false;
    bool sheets = false;
};

// Declares --list-models and --long on `app`.
void addListingOptions(CLI::App& app, ModelListing& listing);

// Prints the listing asked for, or reports --long alone: the status to end with; nothing when
// no listing was asked for.
std::optional<int> showListing(const Tool& tool, const ModelListing& listing);

// The names of the inputs `model` reads: the engine's, as every front end lists them.
using estimation::readNames;

// The catalogue as a table for people: position, name, inputs read, unit captions.
std::string modelListing();

// Each model's sheet: where it comes from, the inputs it reads and their units, what its
// results mean, and its caveats; lines of at most 79 characters.
std::string modelSheets();

} // namespace talvo::cli
