#pragma once

// The options the front ends share, each defined once: its name, the values it takes, their
// case and the message for a value it refuses. talvo-batch, talvo-map, the web page and the
// Python module all parse through here, so that each takes and refuses the same texts, and
// words the refusal alike: "--cf-by 'mass': give volume or weight".

#include "base/error.h"
#include "estimation/estimation.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::base {

// How a front end names an option in its messages: --root-depth on a command line and the
// page, root_depth as a Python keyword.
enum class Spelling { option, keyword };

// "root-depth" as `spelling` writes it.
std::string optionName(std::string_view name, Spelling spelling);

// Names as a user would match them: ASCII letters in any case.
bool sameName(std::string_view a, std::string_view b);

// A value the user gave, as a message echoes it: 'text', escaped where it would not show.
std::string quoted(std::string_view text);

// The refusal of a value: "--NAME 'TEXT': give WANT".
Error refusal(std::string_view name, Spelling spelling, std::string_view text,
              std::string_view want);

// The models `text` names: its position, its whole name, or else every model whose name
// begins with it; names in any case. Empty when it names none.
std::vector<const estimation::PtfModel*> modelsNamed(std::string_view text);

// The model `text` names alone, or nullptr; `message` then says why: "unknown model 'x': ..."
// or "'t' names the beginning of ...".
const estimation::PtfModel* modelNamed(std::string_view text, std::string& message);

// --model of a tool that runs one model, as modelNamed reads it. Throws Error.
const estimation::PtfModel& parseModel(std::string_view text);

// "all", or positions, list texts and unique beginnings of list texts, in any case and
// separated by commas ("2,Singh, 2000", "rawls"); `all` tells which. Throws Error for an
// unknown or ambiguous model and for an empty list.
std::vector<const estimation::PtfModel*> parseModels(std::string_view text, bool& all);

// A point or a comma, the separators tables are written with; otherwise nullopt, and
// `message` says why: "';': give . or ,".
std::optional<estimation::DecimalSeparator> decimalNamed(std::string_view text,
                                                         std::string& message);

// As decimalNamed, for --decimal. Throws Error.
estimation::DecimalSeparator parseDecimal(std::string_view text);

// The named values below are taken in any case, and throw Error for any other text.

// --precision: fixed or general.
estimation::Precision parsePrecision(std::string_view text, Spelling spelling = Spelling::option);

// --psd: usda or international.
estimation::ParticleSizeScale parseParticleSizeScale(std::string_view text,
                                                     Spelling spelling = Spelling::option);

// --oc-unit: g/kg or %.
estimation::CarbonUnit parseCarbonUnit(std::string_view text, Spelling spelling = Spelling::option);

// --cf-by: volume or weight.
estimation::CoarseFragmentBasis parseCoarseFragmentBasis(std::string_view text,
                                                         Spelling spelling = Spelling::option);

// --root-depth: cm, above 0 and at most estimation::DeepestHorizon. Throws Error.
double parseRootDepth(std::string_view text);
// A root depth that came as a number, refused as its text would be.
double checkRootDepth(double depth, Spelling spelling);

// --depletion: p, 0 to 1. Throws Error.
double parseDepletion(std::string_view text);
double checkDepletion(double share, Spelling spelling);

// ---- Input uncertainty

// One input's standard deviation as --sd gives it: the header of the column holding it, or one
// number for every row. Either is in the unit the input's own column is read in.
struct SpreadSource {
    std::string column; // empty: `value` for every row
    double value = 0.0;

    friend bool operator==(const SpreadSource&, const SpreadSource&) = default;
};
// By estimation::Input.
using SpreadSources = std::array<std::optional<SpreadSource>, 4>;

// --sd: NAME=NUMBER or NAME=HEADER pairs separated by commas ("sand=2,clay=clay_sd"), NAME
// sand, silt, clay or oc, each once; a NUMBER 0 or more; at most two of sand, silt and clay,
// as the third keeps their sum. Throws Error.
SpreadSources parseSpreads(std::string_view text);
// --draws: a whole number from estimation::FewestDraws to estimation::MostDraws. Throws Error.
int parseDraws(std::string_view text);
// --seed: a whole number from 0 to 2^64 - 1. Throws Error.
std::uint64_t parseSeed(std::string_view text);

// ---- Hydraulic models

// --hydraulics: saxton-rawls, hypres or all, in the order of allHydraulicModels.
std::vector<estimation::HydraulicModel> parseHydraulicModels(std::string_view text,
                                                             Spelling spelling = Spelling::option);

// --topsoil: yes or no, the layer HYPRES reads where a table has no topsoil column.
bool parseTopsoil(std::string_view text, Spelling spelling = Spelling::option);

// A topsoil cell: 1, yes, true or top; 0, no, false or sub; in any case. Nothing otherwise.
std::optional<bool> topsoilNamed(std::string_view text);

// --fc-head: 330 or 100 (cm), the head at which the curve's FC is read.
double parseFieldCapacityHead(std::string_view text, Spelling spelling = Spelling::option);

} // namespace talvo::base
