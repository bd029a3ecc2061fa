#pragma once

// The catalogue as the command-line tools show it and read it back: --list-models, and the
// models --model names.

#include "cli/tool.h"
#include "estimation/estimation.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// The catalogue as a table for people: position, name, inputs read, unit captions.
std::string modelListing();

// Each model's sheet: where it comes from, the inputs it reads and their units, what its
// results mean, and its caveats; lines of at most 79 characters.
std::string modelSheets();

// The models `text` names: its position, its whole name, or else every model whose name
// begins with it; names in any case. Empty when it names none.
std::vector<const estimation::PtfModel*> modelsNamed(std::string_view text);

// The model `text` names alone, or nullptr; `message` then says why: "unknown model 'x': ..."
// or "'t' names the beginning of ...".
const estimation::PtfModel* modelNamed(std::string_view text, std::string& message);

} // namespace talvo::cli
