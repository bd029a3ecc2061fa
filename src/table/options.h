#pragma once

// The texts a user gives for a run, turned into its typed settings with talvo-batch's
// meanings and messages: the command line and the web page parse through here alike.

#include "estimation/estimation.h"
#include "table/settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvo::table {

// The models `text` names: its position, its whole name, or else every model whose name
// begins with it; names in any case. Empty when it names none.
std::vector<const estimation::PtfModel*> modelsNamed(std::string_view text);

// The model `text` names alone, or nullptr; `message` then says why: "unknown model 'x': ..."
// or "'t' names the beginning of ...".
const estimation::PtfModel* modelNamed(std::string_view text, std::string& message);

// "all", or positions, list texts and unique beginnings of list texts, in any case and
// separated by commas ("2,Singh, 2000", "rawls"); `all` tells which. Throws base::Error for an
// unknown or ambiguous model and for an empty list.
std::vector<const estimation::PtfModel*> parseModels(std::string_view text, bool& all);

// One character other than a quote or a line break, or "tab". Throws base::Error, also for a
// character numbers can hold.
char parseDelimiter(std::string_view text);

// A point or a comma, the separators tables are written with; otherwise nullopt, and
// `message` says why: "';': give . or ,".
std::optional<estimation::DecimalSeparator> decimalNamed(std::string_view text,
                                                         std::string& message);

// As decimalNamed, for --decimal. Throws base::Error.
estimation::DecimalSeparator parseDecimal(std::string_view text);

// "fixed" or "general". Throws base::Error.
Precision parsePrecision(std::string_view text);

// --psd: usda or international, in any case.
estimation::ParticleSizeScale parseParticleSizeScale(std::string_view text);

// --oc-unit: g/kg or %. Throws base::Error.
estimation::CarbonUnit parseCarbonUnit(std::string_view text);

// --root-depth: cm above 0. Throws base::Error.
double parseRootDepth(std::string_view text);

// --depletion: p, 0 to 1. Throws base::Error.
double parseDepletion(std::string_view text);

// --cf-by: volume or weight, in any case. Throws base::Error.
estimation::CoarseFragmentBasis parseCoarseFragmentBasis(std::string_view text);

// One NAME=HEADER pair into settings.columnNames (or horizonNames), NAME an input's own name
// or a horizon column's (profile, top, bottom, bd, cf). Throws base::Error for
// a malformed pair and for a NAME given twice.
void addColumn(Settings& settings, std::string_view pair);

// Pairs separated by commas ("sand=sandtotal_r,clay=claytotal_r"), each as addColumn takes
// it. A comma splits only before another NAME=, so that a header may hold commas itself.
void addColumns(Settings& settings, std::string_view pairs);

// Settles what depends on more than one setting: a delimiter of '\0' (not given) becomes ','
// or, with a decimal comma, ';'; a delimiter equal to the decimal separator throws base::Error.
void settleDelimiter(Settings& settings);

} // namespace talvo::table
