#pragma once

// talvo-batch --write: a horizon table's profiles as the soil files of FAO-56 (pyfao56),
// AquaCrop, DSSAT and APSIM.

#include "cli/files.h"
#include "cli/interruption.h"
#include "cli/tool.h"
#include "estimation/estimation.h"
#include "table/horizons.h"
#include "table/soil_files.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace talvo::batch {

struct SoilFileArguments {
    std::optional<table::SoilFormat> format; // --write
    std::string target;                      // --write-to: a folder, or DSSAT's file
    std::optional<int> curveNumber;          // --curve-number
    std::optional<double> readilyEvaporable; // --rew, mm
};

// Declares --write, --write-to, --curve-number and --rew.
void addSoilFileOptions(CLI::App& app, SoilFileArguments& arguments);

struct Arguments;

// Settles what --write depends on: --profiles, --write-to, one --model and at most one
// --hydraulics model; keeps each horizon's soil for the files. Throws base::Error.
void finishSoilFileOptions(Arguments& arguments);

// A horizon's soil as a soil file needs it, SAT and Ks from `model`.
struct LayerSoil {
    table::SoilLayer layer;
    bool densityEstimated = false; // no bd: Saxton and Rawls' normal density stands in
};
LayerSoil layerSoil(const table::HorizonSoilDetails& horizon, const table::Settings& settings,
                    estimation::HydraulicModel model);

// The files, built whole before any is written: a profile that cannot be written fails the
// run while every output is still as it was.
struct SoilFileRun {
    std::vector<table::SoilFile> files; // a folder's; empty where the one file joined the outputs
    std::string note;                   // what the tool tells of them
};

// Builds the files; DSSAT's one file joins `outputs`, to be replaced with them. Throws
// base::Error.
SoilFileRun prepareSoilFiles(const table::ProfileTable& profiles, const Arguments& arguments,
                             cli::OutputFiles& outputs);

// After the other outputs: a folder's files, each replaced whole in turn. Throws base::Error
// naming the file that could not be written and how many were.
void placeSoilFiles(const SoilFileRun& run, const Arguments& arguments,
                    cli::InterruptionCleanup& cleanup);

} // namespace talvo::batch
