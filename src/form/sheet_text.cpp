#include "form/sheet_text.h"

#include "estimation/estimation.h"

#include <cstddef>
#include <string_view>

namespace talvo::form {

std::string_view inputWords(estimation::Input input) {
    switch (input) {
    case estimation::Input::sand:
        return "sand";
    case estimation::Input::silt:
        return "silt";
    case estimation::Input::clay:
        return "clay";
    case estimation::Input::oc:
        return "organic carbon";
    }
    return "input";
}

std::string sheetText(const estimation::PtfModel& model) {
    const estimation::ModelSheet& sheet = estimation::modelSheet(model);
    std::string text = "Source: " + std::string(sheet.source) + "\nReads: ";
    for (std::size_t i = 0; i < sheet.inputs.size(); ++i) {
        text += i == 0 ? "" : ", ";
        text += std::string(inputWords(sheet.inputs[i].input)) + " in " +
                std::string(sheet.inputs[i].unit);
    }
    text += "\nFC and PWP: " + std::string(sheet.results);
    text += "\nAWC: " + std::string(sheet.availableWater);
    text += "\nDomain: " + estimation::calibrationText(sheet.calibration);
    for (const std::string_view caveat : sheet.caveats) {
        text += "\n\u2022 " + std::string(caveat);
    }
    return text;
}

} // namespace talvo::form
