#include "cli/carbon_unit.h"

#include "base/options.h"

#include <cstddef>
#include <string>

namespace talvo::cli {

namespace {

// "TALVO PTF model (PSD + OC) reads g/kg, Rawls et al., 1982 reads %": from the catalogue.
std::string modelUnits() {
    std::string text;
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        if (model.readInputs.contains(estimation::Input::oc)) {
            text += text.empty() ? "" : ", ";
            text += std::string(model.listText) + " reads " +
                    std::string(estimation::name(estimation::modelCarbonUnit(model)));
        }
    }
    return text;
}

} // namespace

CLI::Option* addCarbonUnitOption(CLI::App& app, std::optional<estimation::CarbonUnit>& unit) {
    return app
        .add_option_function<std::string>(
            "--oc-unit", [&unit](const std::string& text) { unit = base::parseCarbonUnit(text); },
            "the unit of oc (after --scale), g/kg or % (g/100 g), converted into the unit each "
            "model reads: " +
                modelUnits() +
                " (default: as entered, as the window reads it; g/kg with --scale oc=)")
        ->type_name("g/kg|%")
        ->option_text("g/kg|%");
}

std::optional<estimation::CarbonUnit> knownCarbonUnit(std::optional<estimation::CarbonUnit> given,
                                                      const base::ScaleSet& scales) {
    if (given) {
        return given;
    }
    if (scales[static_cast<std::size_t>(estimation::Input::oc)]) {
        return estimation::CarbonUnit::gramsPerKilogram;
    }
    return std::nullopt;
}

} // namespace talvo::cli
