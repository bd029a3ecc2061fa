// talvo_models: the catalogue with each model's sheet, as the tools' --list-models --long
// shows it.

#include "engine.h"
#include "estimation/estimation.h"

#include <Rcpp.h>
#include <string>

namespace {

using namespace talvo;

// "sand in % (0.02-2 mm); clay in % (<0.002 mm)"
std::string inputUnits(const estimation::ModelSheet& sheet) {
    std::string units;
    for (const estimation::InputUnit& unit : sheet.inputs) {
        units += units.empty() ? "" : "; ";
        units += std::string(estimation::name(unit.input)) + " in " + std::string(unit.unit);
    }
    return units;
}

std::string caveats(const estimation::ModelSheet& sheet) {
    std::string text;
    for (const std::string_view caveat : sheet.caveats) {
        text += text.empty() ? "" : " ";
        text += caveat;
    }
    return text;
}

} // namespace

extern "C" SEXP talvo_model_sheets() {
    BEGIN_RCPP
    const auto count = static_cast<R_xlen_t>(estimation::ModelCount);
    Rcpp::IntegerVector position(count);
    Rcpp::CharacterVector name(count), reads(count), unit(count), inputUnit(count), results(count),
        awc(count), source(count), calibration(count), caveat(count);
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        const estimation::ModelSheet& sheet = estimation::modelSheet(model);
        const R_xlen_t i = model.position;
        position[i] = model.position;
        name[i] = Rcpp::String(std::string(model.listText), CE_UTF8);
        reads[i] = estimation::readNames(model);
        unit[i] = Rcpp::String(std::string(model.unit), CE_UTF8);
        inputUnit[i] = Rcpp::String(inputUnits(sheet), CE_UTF8);
        results[i] = Rcpp::String(std::string(sheet.results), CE_UTF8);
        awc[i] = Rcpp::String(std::string(sheet.availableWater), CE_UTF8);
        source[i] = Rcpp::String(std::string(sheet.source), CE_UTF8);
        calibration[i] = Rcpp::String(estimation::calibrationText(sheet.calibration), CE_UTF8);
        caveat[i] = Rcpp::String(caveats(sheet), CE_UTF8);
    }
    return Rcpp::List::create(
        Rcpp::Named("position") = position, Rcpp::Named("name") = name,
        Rcpp::Named("reads") = reads, Rcpp::Named("unit") = unit,
        Rcpp::Named("input_units") = inputUnit, Rcpp::Named("results") = results,
        Rcpp::Named("awc") = awc, Rcpp::Named("source") = source,
        Rcpp::Named("calibration") = calibration, Rcpp::Named("caveats") = caveat);
    END_RCPP
}

// The position of the model an argument names, as talvo-batch --model names it.
extern "C" SEXP talvo_model_position(SEXP model) {
    BEGIN_RCPP
    return Rf_ScalarInteger(talvo::r::modelOf(model).position);
    END_RCPP
}

// The texture classes' names by class number: a texture column's levels.
extern "C" SEXP talvo_texture_names() {
    BEGIN_RCPP
    Rcpp::CharacterVector names(static_cast<R_xlen_t>(estimation::TextureClassCount));
    for (const estimation::TextureClass texture : estimation::allTextureClasses) {
        names[static_cast<R_xlen_t>(texture)] = std::string(estimation::name(texture));
    }
    return names;
    END_RCPP
}
