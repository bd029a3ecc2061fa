#include "batch/options.h"

#include "base/error.h"
#include "base/options.h"
#include "cli/carbon_unit.h"
#include "cli/spread_options.h"
#include "estimation/estimation.h"
#include "table/options.h"

#include <vector>

namespace talvo::batch {

namespace {

using base::Error;

// A validator that turns the typed text into the form CLI11 converts, or throws Error.
template <typename Convert> CLI::Validator converter(Convert convert) {
    return {[convert](std::string& text) {
                text = convert(text);
                return std::string();
            },
            ""};
}

// --output: a file, or - for standard output. An empty name is most often a script's unset
// variable, not a wish for standard output.
std::string outputPath(const std::string& text) {
    if (text.empty()) {
        throw Error("--output '': give a file name, or - for standard output");
    }
    return text;
}

// --delimiter: the character CLI11 converts.
std::string delimiterText(const std::string& text) {
    return std::string(1, table::parseDelimiter(text));
}

// What is estimated, and how precisely it is written.
void addModelOptions(CLI::App& app, Arguments& arguments) {
    app.add_option_function<std::string>(
           "--model",
           [&arguments](const std::string& text) {
               arguments.settings.models = base::parseModels(text, arguments.settings.allModels);
               arguments.modelGiven = true;
           },
           "positions 0 to " + std::to_string(estimation::ModelCount - 1) +
               " or names as --list-models shows them, or their beginnings in any case, "
               "separated by commas (--model 2,4 or --model rawls), or all: every model whose "
               "columns the table has")
        ->type_name("MODEL");
    app.add_option_function<std::string>(
           "--precision",
           [&arguments](const std::string& text) {
               arguments.settings.precision = base::parsePrecision(text);
           },
           "fixed: two decimals as the window shows (default); general: up to 15 "
           "significant digits")
        ->type_name("fixed|general");
}

// How numbers and fields are separated, in the input and the output alike.
void addTextOptions(CLI::App& app, table::Settings& settings) {
    app.add_option_function<std::string>(
           "--decimal",
           [&settings](const std::string& text) { settings.decimal = base::parseDecimal(text); },
           "decimal separator for reading and writing numbers (default .)")
        ->type_name(".|,");
    app.add_option("--delimiter", settings.delimiter,
                   "field delimiter, one character or tab (default , or ; with --decimal ,)")
        ->type_name("CHAR")
        ->transform(converter(delimiterText));
    app.add_flag("--safe-cells", settings.safeCells,
                 "write ' before the table's cells that a spreadsheet would run as formulas "
                 "(those starting with =, +, - or @ that are no number); without it every cell "
                 "is kept byte for byte");
    settings.delimiter = '\0'; // not given: settled by finishOptions
}

// The names of the input columns read and of the columns added.
void addColumnOptions(CLI::App& app, table::Settings& settings) {
    app.add_option_function<std::vector<std::string>>(
           "--column",
           [&settings](const std::vector<std::string>& lists) {
               for (const std::string& list : lists) {
                   table::addColumns(settings, list);
               }
           },
           "the header of an input column its name does not find: NAME is sand, silt, clay or "
           "oc (with --profiles also profile, top, bottom, bd, cf, theta_fc, theta_pwp, dul or "
           "ll15), pairs separated by commas or the option repeated (--column sand=\"Sand "
           "0.05-2 mm\",clay=Ton --column oc=Corg). Found without it, in any case: the input's "
           "name, SSURGO's sandtotal_r, silttotal_r, claytotal_r, soc, and organic matter om or "
           "om_r (read as OC = OM / 1.724), each also with a unit: \"Sand (%)\", sand_pct, "
           "\"OC (g/kg)\"; an exact name wins, two others are an error")
        ->type_name("NAME=HEADER")
        ->allow_extra_args(false)
        ->take_all();
    app.add_option("--prefix", settings.prefix,
                   "put TEXT before the names of the added columns, for a table that has a "
                   "column of such a name (--prefix est_ gives est_fc)")
        ->type_name("TEXT");
}

// Where the table comes from and goes to.
void addFileOptions(CLI::App& app, Arguments& arguments) {
    app.add_option("-o,--output", arguments.output,
                   "write the table to FILE, whole or not at all (default standard output); "
                   "a FILE ending in .xlsx gets a workbook of one sheet")
        ->type_name("FILE")
        ->transform(converter(outputPath));
    app.add_option("INPUT", arguments.input, "CSV file; absent or - reads standard input")
        ->type_name("");
}

// Horizon tables and the water of their profiles' root zones.
void addProfileOptions(CLI::App& app, Arguments& arguments) {
    table::Settings& settings = arguments.settings;
    CLI::Option* const profiles = app.add_flag(
        "--profiles", settings.profiles,
        "read a horizon table: columns profile (or id), top, bottom (cm), and optional bd "
        "(g/cm3), cf (coarse fragments, %) and measured FC and PWP of the fine earth, used "
        "in place of the estimates where given: theta_fc and theta_pwp (% by volume) or dul "
        "and ll15 (cm3/cm3); each row gains theta_fc, theta_pwp (% v/v of the whole soil) and "
        "aw_mm, its available water");
    app.add_option("--summary", arguments.summary,
                   "with --profiles: write each profile's depth_cm, taw_0_30, taw_0_100, "
                   "taw_root, raw_root (mm), root_depth and flags (gap, overlap, depth, "
                   "missing) to FILE, whole or not at all; with --hydraulics and --sd also "
                   "taw_0_30_p05, taw_0_30_p95 ... taw_root_p95 over the draws, each horizon "
                   "drawn on its own")
        ->type_name("FILE")
        ->transform(converter(outputPath))
        ->needs(profiles);
    app.add_option_function<std::string>(
           "--root-depth",
           [&settings](const std::string& text) {
               settings.rootZone.rootDepth = base::parseRootDepth(text);
           },
           "root depth in cm for taw_root and raw_root (default 100)")
        ->type_name("CM")
        ->needs(profiles);
    app.add_option_function<std::string>(
           "--depletion",
           [&settings](const std::string& text) {
               settings.rootZone.depletion = base::parseDepletion(text);
           },
           "share p of taw_root the crop draws before stress: raw_root = p x taw_root "
           "(default 0.5)")
        ->type_name("P")
        ->needs(profiles);
    app.add_option_function<std::string>(
           "--cf-by",
           [&settings](const std::string& text) {
               settings.basis = base::parseCoarseFragmentBasis(text);
           },
           "cf is % by volume (default) or by weight, turned into volume with bd and stones "
           "of 2.65 g/cm3")
        ->type_name("volume|weight")
        ->needs(profiles);
}

// The units and scales the inputs are read in, and how strictly flags are taken.
void addUnitOptions(CLI::App& app, Arguments& arguments) {
    table::Settings& settings = arguments.settings;
    app.add_option_function<std::string>(
           "--psd",
           [&settings](const std::string& text) {
               settings.particleSizeScale = base::parseParticleSizeScale(text);
           },
           "the particle-size scale of sand, silt and clay: international (silt 2-20 um, what "
           "the models read; default) or usda (silt 2-50 um, as SoilGrids, SSURGO and KSSL "
           "give them), converted by log-linear interpolation and flagged psd; the texture "
           "column then names the USDA class")
        ->type_name("SCALE");
    CLI::Option* const scale =
        app.add_option_function<std::string>(
               "--scale",
               [&settings](const std::string& text) {
                   settings.scales = base::parseScaleList(text);
               },
               "read inputs at a decimal scale, exactly: sand=0.1,silt=0.1,clay=0.1 for g/kg, "
               "oc=0.1 for dg/kg")
            ->type_name("NAME=DECIMAL,...");
    app.add_flag_callback(
           "--fractions", [&settings] { settings.scales = base::fractionScales(); },
           "sand, silt and clay are fractions of 1: read 0.4 as 40 %, shifting the decimal "
           "point of the text")
        ->excludes(scale);
    cli::addCarbonUnitOption(app, settings.carbonUnit);
    app.add_flag("--strict", arguments.strict,
                 "exit with status 1 when any row carries a flag other than psd and measured; the "
                 "output is still written whole");
}

// ---- Input uncertainty

// Standard deviations of the inputs, and the draws that carry them through the models.
void addSpreadOptions(CLI::App& app, table::Settings& settings) {
    cli::addSpreadOptions(
        app, settings.spreads, settings.draws,
        "standard deviations of the inputs, in the unit of their columns: a column holding "
        "each row's (--sd sand=sand_sd,clay=clay_sd) or one number for all rows (--sd "
        "sand=2,clay=2,oc=0.1); at most two of sand, silt and clay, as the first of silt, "
        "sand, clay without one takes up the others' difference so that every draw keeps "
        "their sum. Draws outside 0-100 % (OC below 0) are drawn again. Each row and model "
        "gains fc_p05, fc_p50, fc_p95, pwp_p05 ... awc_p95: percentiles (type 7, as R and "
        "numpy) over the draws, in the model's unit; with --hydraulics also theta_s_p05 ... "
        "ks_p95, in % v/v and cm/day, after flags",
        "row");
}

// ---- Model spread

void addModelSpreadOption(CLI::App& app, table::Settings& settings) {
    app.add_flag("--spread", settings.modelSpread,
                 "with two or more models: after each row's models, a row \"mean of N "
                 "models\" (N the models that gave a number) whose fc, pwp and awc hold their "
                 "mean, and fc_min, fc_max, pwp_min ... awc_max columns before error with their "
                 "range; FC and PWP in % v/v, a model's % w/w times 1.49 g/cm3 as in its AWC; "
                 "AWC in mm");
}

// A mean of one model says nothing; other tables have rows of their own.
void checkModelSpread(const Arguments& arguments) {
    if (!arguments.settings.modelSpread) {
        return;
    }
    if (!arguments.hydraulics.models.empty() || arguments.measured.given) {
        throw base::Error("--spread adds rows to the models' table: give it without "
                          "--hydraulics or --measured");
    }
    if (!arguments.settings.allModels && arguments.settings.models.size() < 2) {
        throw base::Error("--spread needs two or more models: --model all, or a list such as "
                          "--model 2,4");
    }
}

// ---- Hydraulic models: the water-retention curve instead of the seven models' FC and PWP.
void addHydraulicOptions(CLI::App& app, Arguments& arguments) {
    table::HydraulicArguments& hydraulics = arguments.hydraulics;
    CLI::Option* const models =
        app.add_option_function<std::string>(
               "--hydraulics",
               [&hydraulics](const std::string& text) {
                   hydraulics.models = base::parseHydraulicModels(text);
               },
               "instead of --model, each row's water-retention curve by Saxton and Rawls, 2006 "
               "or Wösten et al., 1999 (HYPRES), or both: one row per model with "
               "hydraulic_model, theta_r and theta_s (% v/v), alpha (1/cm), n, ks (cm/day) and "
               "the curve's fc, pwp and awc (% v/v; fc at 330 cm, pwp at 15,000 cm), flags and "
               "error. Sand, silt and clay are turned to the USDA scale (flagged psd) unless "
               "--psd usda; OM is om as given, or OC x 1.724 (OC in %, or g/kg with --oc-unit "
               "g/kg). saxton-rawls leaves theta_r, alpha and n empty: its curve is its own "
               "power law, not van Genuchten's; a bd column (g/cm3) sets its density factor "
               "(bd over its normal density). hypres needs bd in every row (a row without it "
               "fails) and the layer from a topsoil column (1 or 0) or --topsoil. With --profiles "
               "each horizon's theta_fc, theta_pwp and aw_mm come from the curve's fc and pwp, "
               "and --summary sums them per profile and model")
            ->type_name("saxton-rawls|hypres|all");
    app.add_option_function<std::string>(
           "--topsoil",
           [&hydraulics](const std::string& text) {
               hydraulics.topsoil = base::parseTopsoil(text);
           },
           "with --hydraulics: whether the rows are topsoil for HYPRES, where the table has no "
           "topsoil column or leaves its cell empty")
        ->type_name("yes|no")
        ->needs(models);
    app.add_option_function<std::string>(
           "--fc-head",
           [&hydraulics](const std::string& text) {
               hydraulics.fcHead = base::parseFieldCapacityHead(text);
           },
           "with --hydraulics: the head in cm at which fc is read from the curve (default "
           "330, 33 kPa; 100 for sandy soils)")
        ->type_name("330|100")
        ->needs(models);
}

} // namespace

// The groups in the order --help lists them.
void addOptions(CLI::App& app, Arguments& arguments) {
    addModelOptions(app, arguments);
    addTextOptions(app, arguments.settings);
    addColumnOptions(app, arguments.settings);
    addUnitOptions(app, arguments);
    addProfileOptions(app, arguments);
    addSpreadOptions(app, arguments.settings);
    addModelSpreadOption(app, arguments.settings);
    addFileOptions(app, arguments);
    addMeasuredOptions(app, arguments.measured);
    addHydraulicOptions(app, arguments);
    addSoilFileOptions(app, arguments.soilFiles);
    cli::addListingOptions(app, arguments.listing);
}

void finishOptions(Arguments& arguments) {
    table::settleDelimiter(arguments.settings);
    checkModelSpread(arguments);
    finishSoilFileOptions(arguments); // --write reads --hydraulics for SAT and Ks
    if (!arguments.hydraulics.models.empty() && !arguments.soilFiles.format &&
        (arguments.modelGiven || arguments.measured.given)) {
        throw base::Error("--hydraulics writes its own table: give it without --model or "
                          "--measured");
    }
    // Not read by that table yet: refused rather than silently ignored.
    const base::ScaleSet& scales = arguments.settings.scales;
    const bool scaled = std::any_of(scales.begin(), scales.end(),
                                    [](const auto& scale) { return scale.has_value(); });
    if (!arguments.hydraulics.models.empty() && (scaled || arguments.settings.safeCells)) {
        throw base::Error("--hydraulics reads percent and writes cells as they are: give it "
                          "without --scale, --fractions or --safe-cells");
    }
    arguments.settings.carbonUnit =
        cli::knownCarbonUnit(arguments.settings.carbonUnit, arguments.settings.scales);
    finishMeasuredOptions(arguments.measured, arguments.output);
}

std::string modelColumns() {
    std::string text = "Columns each model reads:";
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        text += "\n  " + std::to_string(model.position) + " " + std::string(model.listText) + ": " +
                cli::readNames(model);
    }
    return text;
}

} // namespace talvo::batch
