// talvo-map: the calculator's estimate over every cell of soil rasters.

#include "base/options.h"
#include "base/scale.h"
#include "cli/carbon_unit.h"
#include "cli/interruption.h"
#include "cli/models.h"
#include "cli/progress.h"
#include "cli/spread_options.h"
#include "cli/tool.h"
#include "estimation/estimation.h"
#include "map/gdal_errors.h"
#include "map/run.h"
#include "map/settings.h"
#include "map/tiles.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <filesystem>
#include <gdal_priv.h>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

// An option as --help shows it: its value's form alone, without the parser's own notes on
// checks and conversions, and as the completion reads it.
CLI::Option* shown(CLI::Option* option, const std::string& value) {
    return option->type_name(value)->option_text(value);
}

// --output: a GeoTIFF, the one format written. A name of another format's would hold a
// GeoTIFF under a name that promises something else.
CLI::Validator geoTiffName() {
    return {[](std::string& text) -> std::string {
                std::string extension = std::filesystem::path(text).extension().string();
                for (char& c : extension) {
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                }
                if (extension.empty() || extension == ".tif" || extension == ".tiff") {
                    return {};
                }
                return "'" + text + "': talvo-map writes GeoTIFF; give a name ending in .tif";
            },
            ""};
}

// Contents in another unit read as percent give nonsense on every cell, and flags alone are
// easily missed.
std::string unitWarning(const talvo::estimation::ContentUnitTally& contents,
                        talvo::estimation::ContentUnit unit) {
    const bool grams = unit == talvo::estimation::ContentUnit::gramsPerKilogram;
    return "warning: " + std::to_string(contents.looking(unit)) + " of " +
           std::to_string(contents.judged(unit)) +
           (grams ? " cells hold sand, silt or clay above 100 %: they look like g/kg; give "
                    "--soilgrids for the global soil grids, or --scale sand=0.1,silt=0.1,clay=0.1"
                  : " cells hold sand, silt and clay that sum to about 1: they look like "
                    "fractions; give --scale sand=100,silt=100,clay=100");
}

// What the run wrote, or why a tile wrote nothing.
std::string summaryLine(const talvo::map::Settings& settings, const talvo::map::Summary& summary) {
    if (summary.height == 0 && settings.tile) {
        return "tile " + std::to_string(settings.tile->index) + "/" +
               std::to_string(settings.tile->count) + " has no rows of this map of " +
               std::to_string(summary.mapHeight) + " rows: " + settings.output + " not written" +
               (summary.oldMapRemoved ? ", and the old one removed" : "");
    }
    return "wrote " + settings.output + ": " + std::to_string(summary.width) + "x" +
           std::to_string(summary.height) + " cells, " +
           std::to_string(summary.cells - summary.estimatedCells) + " without an estimate (nodata)";
}

int run(const talvo::cli::Tool& tool, const talvo::map::Settings& settings) {
    // Ctrl-C or a job scheduler's SIGTERM would otherwise leave the half-written map behind.
    talvo::cli::InterruptionCleanup cleanup;
    std::optional<talvo::cli::ProgressBar> bar;
    talvo::map::Progress progress;
    if (::isatty(STDERR_FILENO) == 1) {
        progress = [&bar](std::uint64_t done, std::uint64_t total) {
            if (!bar) {
                bar.emplace(std::cerr, total);
            }
            bar->update(done);
        };
    }
    const talvo::map::Summary summary = talvo::map::runMap(settings, progress, &cleanup);
    bar.reset();
    if (const auto unit = summary.contents.misread()) {
        tool.report(unitWarning(summary.contents, *unit));
    }
    const std::string carbon =
        summary.contents.carbonNote(*talvo::estimation::modelAt(settings.model), "cells",
                                    "if yours is in g/kg, give --oc-unit g/kg");
    if (!carbon.empty()) {
        tool.report("warning: " + carbon);
    }
    tool.report(summaryLine(settings, summary));
    return 0;
}

void addModelOption(CLI::App& app, talvo::map::Settings& settings) {
    shown(app.add_option_function<std::string>(
              "--model",
              [&settings](const std::string& text) {
                  settings.model = talvo::base::parseModel(text).position;
              },
              "position 0 to " + std::to_string(talvo::estimation::ModelCount - 1) +
                  ", or name as --list-models shows it, or its beginning in any case (--model "
                  "rawls)"),
          "MODEL");
}

// The rasters read and the map written.
void addFileOptions(CLI::App& app, talvo::map::Settings& settings) {
    for (const talvo::estimation::Input input : talvo::estimation::allInputs) {
        const std::string name(talvo::estimation::name(input));
        shown(app.add_option("--" + name, settings.rasters[static_cast<std::size_t>(input)],
                             name + " raster, any GDAL reads (" +
                                 (input == talvo::estimation::Input::oc
                                      ? "as the cells hold it after scaling, or in "
                                        "--oc-unit; g/kg with --scale oc= or --soilgrids"
                                      : "percent after scaling") +
                                 ")"),
              "FILE");
    }
    app.add_flag("--trusted-inputs", settings.trustedInputs,
                 "read inputs you vouch for as GDAL reads them: virtual paths (/vsicurl/, "
                 "/vsizip/, ...), any GDAL format, and VRTs whose sources lie outside their own "
                 "folder or that have raw bands; without it an input reaches no further than "
                 "the files named (GeoTIFF, netCDF, GeoPackage, ASCII grid, GRIB, Zarr, JPEG "
                 "2000, PNG, JPEG, and VRTs of such files in their own folder)");
    shown(app.add_option("--output", settings.output,
                         "the GeoTIFF to write (.tif), whole or not at all"),
          "FILE")
        ->check(geoTiffName());
}

// The particle-size scale of sand, silt and clay; returned for --soilgrids, which implies it.
CLI::Option* addParticleSizeOption(CLI::App& app, talvo::map::Settings& settings) {
    const auto choose = [&settings](const std::string& text) {
        settings.particleSizeScale = talvo::base::parseParticleSizeScale(text);
    };
    return shown(app.add_option_function<std::string>(
                     "--psd", choose,
                     "particle-size scale of sand, silt and clay: international (sand 0.02-2 mm, "
                     "the models' own; default) or usda (sand 0.05-2 mm, silt 0.002-0.05 mm), "
                     "converted for the models and flagged psd; the texture band then holds "
                     "USDA classes"),
                 "international|usda");
}

// What the inputs' cells stand for: one or the other option.
void addScaleOptions(CLI::App& app, talvo::map::Settings& settings, const CLI::Option* psd) {
    auto* const scale = shown(app.add_option_function<std::string>(
                                  "--scale",
                                  [&settings](const std::string& text) {
                                      settings.scales = talvo::base::parseScaleList(text);
                                  },
                                  "decimal scale factors, e.g. sand=0.1,clay=0.1 (default: the "
                                  "raster's own, else 1); not with --soilgrids"),
                              "NAME=DECIMAL,...");
    // Runs after --psd's own callback, which comes first in the list of options.
    const auto soilGrids = [&settings, psd] {
        if (psd->count() > 0 &&
            settings.particleSizeScale != talvo::estimation::ParticleSizeScale::usda) {
            throw CLI::ValidationError("--soilgrids",
                                       "the soil grids are on the USDA scale: leave out --psd");
        }
        talvo::map::useSoilGrids(settings);
    };
    app.add_flag_callback("--soilgrids", soilGrids,
                          "the global soil grids 2.0 in full: sand, silt and clay in g/kg and "
                          "organic carbon (soc) in dg/kg, all divided by 10, on the USDA scale "
                          "(as --psd usda); with --depths bulk density (bdod) in cg/cm3 divided "
                          "by 100 and coarse fragments (cfvo) in cm3/dm3 by 10")
        ->excludes(scale)
        ->excludes(talvo::cli::addCarbonUnitOption(app, settings.carbonUnit))
        ->option_text(" ");
}

// What the map's bands hold.
void addBandOptions(CLI::App& app, talvo::map::Settings& settings) {
    shown(app.add_option_function<std::string>(
              "--precision",
              [&settings](const std::string& text) {
                  settings.precision = talvo::base::parsePrecision(text);
              },
              "fixed: the values of the two-decimal texts (default); general: of the 15-digit "
              "texts"),
          "fixed|general");
    shown(app.add_option("--type", settings.type,
                         "type of every band (default Float32); Int16 stores FC, PWP and AWC as "
                         "hundredths with the band's scale 0.01, nodata -32768"),
          "Float32|Float64|Int16")
        ->transform(CLI::CheckedTransformer(std::map<std::string, talvo::map::OutputType>{
            {"Float32", talvo::map::OutputType::float32},
            {"Float64", talvo::map::OutputType::float64},
            {"Int16", talvo::map::OutputType::int16}}));
}

// Input uncertainty: the percentiles of each cell's results over soils drawn around it.
void addSpreadOptions(CLI::App& app, talvo::map::Settings& settings) {
    talvo::cli::addSpreadOptions(
        app, settings.spreads, settings.draws,
        "standard deviations of the inputs in their unit after scaling (OC's in --oc-unit "
        "where given): one number for all cells (--sd sand=2,clay=2,oc=0.1) or a raster of "
        "each cell's on the soil's grid, scaled as its input is (--sd sand=sand_sd.tif); at "
        "most two of sand, silt and clay, as the first of silt, sand, clay without one takes "
        "up the others' difference so that every draw keeps their sum. Draws outside 0-100 % "
        "(OC below 0) are drawn again. The map gains bands fc_p05, fc_p50, fc_p95, pwp_p05 ... "
        "awc_p95 after texture: percentiles (type 7, as R and numpy) over the draws, in the "
        "unit of fc, pwp and awc, as talvo-batch --sd writes them; with --type Int16 "
        "hundredths, rounded half away from zero (band scale 0.01); nodata where a cell's "
        "draws give none. Not with --depths or --hydraulics",
        "cell");
}

// A root-zone map from layers: the options that only it takes.
void addDepthOptions(CLI::App& app, talvo::map::Settings& settings) {
    talvo::map::DepthSettings& depths = settings.depths;
    auto* const layers = shown(
        app.add_option_function<std::string>(
            "--depths",
            [&settings](const std::string& text) {
                settings.depths.layers = talvo::map::parseDepths(text);
                // Each layer's water is reckoned from the 15-digit results.
                settings.precision = talvo::map::Precision::general;
            },
            "write root-zone water from layered rasters instead: layers top down in cm "
            "(0-5,5-15,15-30,30-60,60-100,100-200); each raster option then names every "
            "layer's file with {depth}, which stands for the layer as written here "
            "(--sand \"sand_{depth}_mean.vrt\" with --depths 0-5cm,5-15cm,...); bands taw_0_30, "
            "taw_0_100, taw_root (mm) and flags"),
        "TOP-BOTTOM,...");
    layers->excludes("--precision");
    // --hydraulics reads it too: runMap refuses it where neither is given.
    shown(app.add_option("--bd", depths.bulkDensity,
                         "bulk density of the fine earth, g/cm3 after scaling (default: none, "
                         "1.49 assumed where the model's results are by weight, flagged bd); "
                         "with --hydraulics one raster, no {depth}"),
          "FILE");
    shown(app.add_option("--cf", depths.coarseFragments,
                         "coarse fragments, percent after scaling (default: none)"),
          "FILE")
        ->needs(layers);
    shown(app.add_option_function<std::string>(
              "--cf-by",
              [&depths](const std::string& text) {
                  depths.basis = talvo::base::parseCoarseFragmentBasis(text);
              },
              "what --cf is a percentage of: volume (default) or weight"),
          "volume|weight")
        ->needs(layers);
    shown(app.add_option_function<std::string>(
              "--root-depth",
              [&depths](const std::string& text) {
                  depths.zone.rootDepth = talvo::base::parseRootDepth(text);
              },
              "depth of the root zone in cm for taw_root (default 100); a layer it cuts counts "
              "in proportion"),
          "CM")
        ->needs(layers);
}

// A hydraulic model's curve instead of a model's FC and PWP: one model a map, as its bands
// are the model's own (Saxton and Rawls' have no theta_r, alpha or n).
void addHydraulicOptions(CLI::App& app, talvo::map::Settings& settings) {
    talvo::map::HydraulicSettings& hydraulics = settings.hydraulics;
    auto* const model = shown(
        app.add_option_function<std::string>(
            "--hydraulics",
            [&hydraulics](const std::string& text) {
                const auto models = talvo::base::parseHydraulicModels(text);
                if (models.size() != 1) {
                    throw CLI::ValidationError("--hydraulics",
                                               "one model a map: give saxton-rawls or hypres");
                }
                hydraulics.model = models.front();
            },
            "instead of --model, each cell's water-retention curve by Saxton and Rawls, 2006 or "
            "Wösten et al., 1999 (HYPRES), as talvo-batch --hydraulics gives it: bands theta_r "
            "and theta_s (% v/v), alpha (1/cm), n, ks (cm/day), the curve's fc, pwp and awc "
            "(% v/v; fc at 330 cm, pwp at 15,000 cm) and flags (psd, domain). Sand, silt and "
            "clay are turned to the USDA scale (flagged psd) unless --psd usda; OM = OC x 1.724 "
            "(OC in %, or g/kg with --oc-unit g/kg, --scale oc= or --soilgrids). saxton-rawls "
            "leaves theta_r, alpha and n "
            "nodata; --bd sets its density factor. hypres needs --bd (a cell without it is "
            "nodata) and --topsoil. With --type Int16 the bands hold integer steps, rounded half "
            "away from zero, read through each band's scale: water in hundredths of % v/v (up to "
            "327.67), ks in tenths of cm/day (up to 3276.7), alpha in 1e-5 1/cm (up to "
            "0.32767), n in 1e-4 (up to 3.2767); a value beyond is nodata in its band"),
        "saxton-rawls|hypres");
    model->excludes("--model")->excludes("--depths");
    shown(app.add_option_function<std::string>(
              "--topsoil",
              [&hydraulics](const std::string& text) {
                  hydraulics.topsoil = talvo::base::parseTopsoil(text);
              },
              "with --hydraulics hypres: whether the cells are topsoil"),
          "yes|no")
        ->needs(model);
    shown(app.add_option_function<std::string>(
              "--fc-head",
              [&hydraulics](const std::string& text) {
                  hydraulics.fcHead = talvo::base::parseFieldCapacityHead(text);
              },
              "with --hydraulics: the head in cm at which fc is read from the curve (default "
              "330, 33 kPa; 100 for sandy soils)"),
          "330|100")
        ->needs(model);
}

// How the GeoTIFF is laid out.
void addLayoutOptions(CLI::App& app, talvo::map::Settings& settings) {
    shown(app.add_option("--compress", settings.compression,
                         "compression (default deflate, which every GIS reads; zstd is faster), "
                         "lossless, with the predictor that suits the type"),
          "deflate|zstd|lerc|none")
        ->transform(CLI::CheckedTransformer(std::map<std::string, talvo::map::Compression>{
            {"deflate", talvo::map::Compression::deflate},
            {"zstd", talvo::map::Compression::zstd},
            {"lerc", talvo::map::Compression::lerc},
            {"none", talvo::map::Compression::none}}));
    app.add_flag("--cog", settings.cog,
                 "finish as a Cloud Optimized GeoTIFF with overviews (average of fc, pwp and "
                 "awc; nearest of flags and texture)");
}

// How the work is shared: between cluster jobs, and between threads.
void addRunOptions(CLI::App& app, talvo::map::Settings& settings) {
    shown(app.add_option_function<std::string>(
              "--tile",
              [&settings](const std::string& text) { settings.tile = talvo::map::parseTile(text); },
              "write only the I-th of N horizontal bands of "
              "blocks"),
          "I/N");
    shown(app.add_option("--threads", settings.threads,
                         "threads to estimate on, 1 to 1024 (default: all cores)"),
          "N")
        ->check(CLI::Range(1, 1024));
}

// The groups in the order --help lists them.
void addOptions(CLI::App& app, talvo::map::Settings& settings, talvo::cli::ModelListing& listing) {
    addModelOption(app, settings);
    addFileOptions(app, settings);
    const CLI::Option* const psd = addParticleSizeOption(app, settings);
    addScaleOptions(app, settings, psd);
    addBandOptions(app, settings);
    addSpreadOptions(app, settings);
    addDepthOptions(app, settings);
    addHydraulicOptions(app, settings);
    addLayoutOptions(app, settings);
    addRunOptions(app, settings);
    talvo::cli::addListingOptions(app, listing);
    app.set_version_flag("--version", "talvo-map " TALVO_VERSION);
    app.footer("Bands: fc, pwp, awc, flags (plausibility bits, named in the band's metadata: "
               "bit 8 domain, outside the model's calibration ranges), texture (class, 255 "
               "none); with --sd fc_p05 ... awc_p95; nodata NaN (Int16: -32768). With --depths: "
               "taw_0_30, taw_0_100, "
               "taw_root, flags (the layers' bits, from bit 8 gap, overlap, depth, missing, "
               "and domain at bit 12). With --hydraulics: theta_r, theta_s, alpha, n, ks, fc, "
               "pwp, awc, flags.\nExit "
               "status: 0 map written (or a tile without "
               "rows), 2 usage or input error.");
}

// --list-models, or the options a map needs: the status to end with, or nothing to run on.
std::optional<int> listed(const talvo::cli::Tool& tool, const CLI::App& app,
                          const talvo::cli::ModelListing& listing) {
    if (const std::optional<int> status = talvo::cli::showListing(tool, listing)) {
        return status;
    }
    const bool hydraulics = app.count("--hydraulics") > 0; // stands in for --model
    for (const char* const name : {"--model", "--output"}) {
        if (app.count(name) == 0 && !(hydraulics && std::string_view(name) == "--model")) {
            tool.report(
                std::string(name) + " is required (see --help" +
                (std::string_view(name) == "--model" ? ", --list-models and --hydraulics)" : ")"));
            return talvo::cli::UsageStatus;
        }
    }
    return std::nullopt;
}

} // namespace

// Setting up the options throws only on a programming error (a name given twice), which
// every test run would show; everything after is caught.
int main(int argc, char** argv) { // NOLINT(bugprone-exception-escape)
    CLI::App app{"Estimates field capacity (FC), permanent wilting point (PWP) and available "
                 "water capacity (AWC) for every cell of soil rasters, with the calculator's "
                 "pedotransfer models, into one GeoTIFF.",
                 "talvo-map"};
    talvo::map::Settings settings;
    talvo::cli::ModelListing listing;
    addOptions(app, settings, listing);

    const talvo::cli::Tool tool("talvo-map");
    if (const std::optional<int> status = tool.parse(app, argc, argv)) {
        return *status;
    }
    if (const std::optional<int> status = listed(tool, app, listing)) {
        return *status;
    }
    settings.carbonUnit = talvo::cli::knownCarbonUnit(settings.carbonUnit, settings.scales);
    GDALAllRegister();
    talvo::map::quietGdalErrors(); // the reasons come back in the tool's one line

    return tool.run([&tool, &settings] { return run(tool, settings); });
}
