#include "batch/soil_files_run.h"

#include "base/error.h"
#include "base/options.h"
#include "batch/options.h"
#include "cli/replacing_file.h"

#include <array>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <string>

namespace talvo::batch {

namespace {

using estimation::HydraulicModel;

std::string formatNames() {
    std::string names;
    for (const table::SoilFormat format : table::allSoilFormats) {
        names += (names.empty() ? "" : "|") + std::string(table::name(format));
    }
    return names;
}

// pyfao56's time stamp: now, in local time.
std::string timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::array<char, 32> text{};
    const std::size_t length = std::strftime(text.data(), text.size(), "%m/%d/%Y %H:%M:%S", &local);
    return {text.data(), length};
}

HydraulicModel hydraulicModelOf(const Arguments& arguments) {
    return arguments.hydraulics.models.empty() ? HydraulicModel::saxtonRawls
                                               : arguments.hydraulics.models.front();
}

// Sand, silt and clay on the USDA scale both models read; NaN where they cannot be had.
estimation::ParticleSizes usdaSizes(const table::HorizonSoilDetails& horizon,
                                    const table::Settings& settings) {
    estimation::ParticleSizes sizes{horizon.soil[0], horizon.soil[1], horizon.soil[2]};
    if (settings.particleSizeScale == estimation::ParticleSizeScale::international) {
        try {
            sizes = estimation::usdaFromInternational(sizes);
        } catch (const estimation::Failure&) {
            sizes = {table::NoValue, table::NoValue, sizes.clay}; // clay is clay on both
        }
    }
    return sizes;
}

std::string folderWanted(const Arguments& arguments) {
    return "--write-to " + arguments.soilFiles.target + ": " +
           std::string(table::name(*arguments.soilFiles.format)) +
           " writes a file per profile: give a folder";
}

} // namespace

void addSoilFileOptions(CLI::App& app, SoilFileArguments& arguments) {
    CLI::Option* const write =
        app.add_option_function<std::string>(
               "--write",
               [&arguments](const std::string& text) {
                   arguments.format = table::soilFormat(text);
                   if (!arguments.format) {
                       throw base::Error("--write " + text + ": give " + formatNames());
                   }
               },
               "with --profiles: write each profile as a model's soil file to --write-to: "
               "fao56, pyfao56's soil profile (.sol: bottom depth in whole cm, thetaFC, "
               "thetaWP, theta0 = thetaFC in cm3/cm3) with a CSV of TAW and RAW per root depth "
               "(_taw.csv); aquacrop, AquaCrop 7.1's .SOL (thickness m, SAT, FC, WP % v/v, "
               "Ksat mm/day); apsim, APSIM's Physical node as JSON (Thickness mm, BD, AirDry, "
               "LL15, DUL, SAT, KS mm/day); one file per profile, named by its id, in a "
               "folder; dssat, every profile in one DSSAT .SOL file (SLLL, SDUL, SSAT, SSKS "
               "cm/h, SBDM, SLOC, SLCL, SLSI, SLCF; -99 where missing; ids of up to 10 "
               "characters). FC and PWP are the model's, by volume of the whole soil; SAT and "
               "Ks come from Saxton and Rawls, 2006, or --hydraulics hypres (bd in every row); "
               "a horizon without bd takes Saxton and Rawls' normal density. A profile the "
               "format cannot hold (a gap between horizons) fails the run before any file is "
               "written")
            ->type_name(formatNames());
    app.add_option("--write-to", arguments.target,
                   "with --write: the folder for a file per profile (made where missing; each "
                   "file replaced whole, one after another once the other outputs are), or the "
                   "file for dssat, replaced with the other outputs")
        ->type_name("PATH")
        ->needs(write);
    app.add_option("--curve-number", arguments.curveNumber,
                   "with --write aquacrop or dssat: the runoff curve number; by default from "
                   "the top horizon's Ksat as AquaCrop's manual gives it (46, 61, 72 or 77)")
        ->type_name("1-100")
        ->check(CLI::Range(1, 100))
        ->needs(write);
    app.add_option("--rew", arguments.readilyEvaporable,
                   "with --write aquacrop: readily evaporable water in mm; by default from the "
                   "top horizon, (FC - WP/2) over 40 mm")
        ->type_name("0-15")
        ->check(CLI::Range(0.0, 15.0))
        ->needs(write);
}

void finishSoilFileOptions(Arguments& arguments) {
    if (!arguments.soilFiles.format) {
        return;
    }
    const table::Settings& settings = arguments.settings;
    if (!settings.profiles) {
        throw base::Error("--write needs --profiles: a table of horizons");
    }
    if (arguments.soilFiles.target.empty()) {
        throw base::Error("--write needs --write-to FOLDER|FILE");
    }
    if (!arguments.modelGiven || settings.allModels || settings.models.size() != 1) {
        throw base::Error("--write needs one --model: its files hold one model's FC and PWP");
    }
    if (arguments.measured.given) {
        throw base::Error("--write goes with the models' table: give it without --measured");
    }
    if (arguments.hydraulics.models.size() > 1) {
        throw base::Error("--write takes one --hydraulics model for SAT and Ks");
    }
    // Refused before the run, not after its table has replaced the old one.
    const std::filesystem::path target = arguments.soilFiles.target;
    std::error_code error;
    if (table::filePerProfile(*arguments.soilFiles.format) &&
        std::filesystem::exists(target, error) && !std::filesystem::is_directory(target, error)) {
        throw base::Error(folderWanted(arguments));
    }
    arguments.settings.soilDetails = true;
}

LayerSoil layerSoil(const table::HorizonSoilDetails& horizon, const table::Settings& settings,
                    HydraulicModel model) {
    LayerSoil out;
    table::SoilLayer& layer = out.layer;
    layer.top = horizon.top;
    layer.bottom = horizon.bottom;
    layer.fc = horizon.fc;
    layer.pwp = horizon.pwp;
    layer.organicCarbon = horizon.soil[3];
    const estimation::ParticleSizes sizes = usdaSizes(horizon, settings);
    layer.clay = sizes.clay;
    layer.silt = sizes.silt;
    estimation::HydraulicSoil soil{.sand = sizes.sand,
                                   .silt = sizes.silt,
                                   .clay = sizes.clay,
                                   .organicMatter =
                                       estimation::organicMatterFromCarbon(horizon.soil[3])};
    soil.bulkDensity = horizon.soil[4];
    // HYPRES's layers: its topsoil is the plough layer.
    soil.topsoil = horizon.top < estimation::TopsoilDepth;
    const bool measured = std::isfinite(soil.bulkDensity);
    if (measured && model == HydraulicModel::saxtonRawls) {
        soil.densityFactor = estimation::measuredDensityFactor(soil);
    }
    out.densityEstimated = !measured;
    layer.bulkDensity = measured ? soil.bulkDensity : estimation::saxtonRawls(soil).density;
    const double stones = horizon.soil[5];
    layer.stones = settings.basis == estimation::CoarseFragmentBasis::weight
                       ? estimation::coarseFragmentsByVolume(stones, layer.bulkDensity)
                       : stones;
    try {
        const estimation::HydraulicEstimate estimate = estimation::estimateHydraulics(model, soil);
        // theta_s is the fine earth's: the stones hold none, as FC and PWP count them.
        layer.sat = estimate.curve.theta(0.0) * (100.0 - layer.stones);
        layer.ks = estimate.ks;
    } catch (const estimation::Failure&) {
        // No SAT or Ks: a format that needs them names the horizon.
    }
    return out;
}

namespace {

// The table's profiles with SAT and Ks from `model`, and how many horizons took an
// estimated bulk density.
struct GatheredProfiles {
    std::vector<table::SoilProfile> profiles;
    std::size_t horizons = 0;
    std::size_t densitiesEstimated = 0;
};

GatheredProfiles gatherProfiles(const table::ProfileTable& profiles,
                                const table::Settings& settings, HydraulicModel model) {
    GatheredProfiles out;
    for (std::size_t p = 0; p < profiles.size(); ++p) {
        table::SoilProfile& profile = out.profiles.emplace_back();
        profile.id = std::string(profiles.id(p));
        for (const table::HorizonSoilDetails& horizon : profiles.details(p, 0)) {
            const LayerSoil soil = layerSoil(horizon, settings, model);
            profile.layers.push_back(soil.layer);
            ++out.horizons;
            out.densitiesEstimated += soil.densityEstimated ? 1U : 0U;
        }
    }
    if (model == HydraulicModel::hypres && out.densitiesEstimated > 0) {
        throw base::Error(
            "--hydraulics hypres reads bd: " + std::to_string(out.densitiesEstimated) + " of " +
            std::to_string(out.horizons) + " horizons have none");
    }
    return out;
}

// What the tool tells of the files: where they went, the units, where SAT and Ks came from.
std::string runNote(const GatheredProfiles& gathered, const Arguments& arguments,
                    HydraulicModel model) {
    const table::SoilFormat format = *arguments.soilFiles.format;
    const std::size_t count = gathered.profiles.size();
    std::string note = std::to_string(count) + (count == 1 ? " profile" : " profiles") +
                       " written as " + std::string(table::name(format)) + " to " +
                       arguments.soilFiles.target + ": " +
                       std::string(table::convertedUnits(format));
    // pyfao56's file holds FC and PWP alone.
    if (format == table::SoilFormat::fao56) {
        return note;
    }
    note += "; SAT and Ks from " + std::string(estimation::source(model));
    if (gathered.densitiesEstimated > 0) {
        note += "; bulk density from Saxton and Rawls, 2006 for " +
                std::to_string(gathered.densitiesEstimated) + " of " +
                std::to_string(gathered.horizons) + " horizons, which had none";
    }
    return note;
}

// Made before the other outputs are replaced, so that a folder that cannot be made fails the
// run while they are as they were.
void makeFolder(const Arguments& arguments) {
    const std::string& folder = arguments.soilFiles.target;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw base::Error("cannot make the folder " + folder + ": " + error.message());
    }
    if (!std::filesystem::is_directory(folder)) {
        throw base::Error(folderWanted(arguments));
    }
}

} // namespace

SoilFileRun prepareSoilFiles(const table::ProfileTable& profiles, const Arguments& arguments,
                             cli::OutputFiles& outputs) {
    const SoilFileArguments& soilFiles = arguments.soilFiles;
    const table::SoilFormat format = *soilFiles.format;
    const HydraulicModel model = hydraulicModelOf(arguments);
    const GatheredProfiles gathered = gatherProfiles(profiles, arguments.settings, model);
    table::SoilFileOptions options;
    options.rootZone = arguments.settings.rootZone;
    options.curveNumber = soilFiles.curveNumber;
    options.readilyEvaporable = soilFiles.readilyEvaporable;
    options.timestamp = timestamp();
    SoilFileRun run;
    run.files = table::soilFiles(format, gathered.profiles, options);
    run.note = runNote(gathered, arguments, model);
    if (table::filePerProfile(format)) {
        makeFolder(arguments);
    } else {
        cli::OutputFile& file = outputs.add("--write-to", soilFiles.target);
        file.stream() << run.files.front().text;
        run.files.clear();
    }
    return run;
}

void placeSoilFiles(const SoilFileRun& run, const Arguments& arguments,
                    cli::InterruptionCleanup& cleanup) {
    if (!table::filePerProfile(*arguments.soilFiles.format)) {
        return; // the one file was replaced with the other outputs
    }
    const std::filesystem::path folder = arguments.soilFiles.target;
    std::size_t written = 0;
    for (const table::SoilFile& file : run.files) {
        const std::string path = (folder / file.name).string();
        try {
            const cli::OutputTarget target = cli::findOutput(path);
            if (target.kind != cli::OutputTarget::Kind::file) {
                throw base::Error(path + " is not a regular file");
            }
            cli::ReplacingFile out(target.path, "talvo-batch", path, &cleanup);
            out.stream() << file.text;
            out.commit();
        } catch (const base::Error& failure) {
            throw base::Error(std::string(failure.what()) + " (" + std::to_string(written) +
                              " of " + std::to_string(run.files.size()) + " soil files written)");
        }
        ++written;
    }
}

} // namespace talvo::batch
