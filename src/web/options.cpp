#include "web/options.h"

#include "base/error.h"
#include "base/options.h"
#include "base/scale.h"
#include "evaluation/options.h"
#include "table/options.h"

#include <string>

namespace talvo::web {

using emscripten::val;

namespace {

// The page's choice of the unit of sand, silt and clay, as talvo-batch's --fractions and
// --scale read them.
base::ScaleSet contentScales(const std::string& units) {
    if (units == "fractions") {
        return base::fractionScales();
    }
    if (units == "g/kg") {
        return base::parseScaleList("sand=0.1,silt=0.1,clay=0.1");
    }
    if (!units.empty()) {
        throw base::Error("unknown unit of sand, silt and clay: " + units);
    }
    return {};
}

} // namespace

table::Settings settingsFrom(const val& options) {
    table::Settings settings;
    settings.models = base::parseModels(options["model"].as<std::string>(), settings.allModels);
    settings.decimal = base::parseDecimal(options["decimal"].as<std::string>());
    const std::string delimiter = options["delimiter"].as<std::string>();
    settings.delimiter = delimiter.empty() ? '\0' : table::parseDelimiter(delimiter);
    settings.precision = base::parsePrecision(options["precision"].as<std::string>());
    settings.prefix = options["prefix"].as<std::string>();
    if (const val psd = options["psd"]; psd.isString() && !psd.as<std::string>().empty()) {
        settings.particleSizeScale = base::parseParticleSizeScale(psd.as<std::string>());
    }
    if (const val units = options["units"]; units.isString()) {
        settings.scales = contentScales(units.as<std::string>());
    }
    if (const val ocUnit = options["ocUnit"];
        ocUnit.isString() && !ocUnit.as<std::string>().empty()) {
        settings.carbonUnit = base::parseCarbonUnit(ocUnit.as<std::string>());
    }
    for (const estimation::Input input : estimation::allInputs) {
        const std::string name(estimation::name(input));
        const std::string header = options[name].as<std::string>();
        if (!header.empty()) {
            table::addColumn(settings, name + "=" + header);
        }
    }
    if (const val profiles = options["profiles"]; profiles.isTrue()) {
        settings.profiles = true;
        settings.rootZone.rootDepth = base::parseRootDepth(options["rootDepth"].as<std::string>());
        settings.rootZone.depletion = base::parseDepletion(options["depletion"].as<std::string>());
        settings.basis = base::parseCoarseFragmentBasis(options["cfBy"].as<std::string>());
    }
    table::settleDelimiter(settings);
    return settings;
}

evaluation::MeasuredColumns measuredFrom(const val& options) {
    evaluation::MeasuredColumns columns;
    for (const char* name : {"fc", "pwp", "awc", "bd"}) {
        const std::string header = options[name].as<std::string>();
        if (!header.empty()) {
            evaluation::addMeasuredColumn(columns, name, header);
        }
    }
    columns.unit = evaluation::parseMeasuredUnit(options["measuredUnit"].as<std::string>());
    return columns;
}

} // namespace talvo::web
