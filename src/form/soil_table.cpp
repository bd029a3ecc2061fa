#include "form/soil_table.h"

#include "estimation/estimation.h"
#include "form/failure_message.h"
#include "form/results_text.h"
#include "form/sheet_text.h"
#include "form/soil_summary.h"

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

namespace talvo::form {

using estimation::Input;

namespace {

bool blank(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// Sand converted from the USDA scale takes part of silt, which the model itself may not read.
bool reads(const estimation::PtfModel& model, Input input, estimation::ParticleSizeScale scale) {
    return model.readInputs.contains(input) ||
           (input == Input::silt && scale == estimation::ParticleSizeScale::usda &&
            model.readInputs.contains(Input::sand));
}

// "needs sand, clay and organic carbon": every input the estimate reads that is left blank.
std::string needs(const estimation::PtfModel& model, const estimation::InputTexts& texts,
                  estimation::ParticleSizeScale scale) {
    std::vector<std::string_view> missing;
    for (const Input input : estimation::allInputs) {
        if (reads(model, input, scale) && blank(texts.at(static_cast<std::size_t>(input)))) {
            missing.push_back(form::inputWords(input));
        }
    }
    std::string text = "needs";
    for (std::size_t i = 0; i < missing.size(); ++i) {
        text += i == 0 ? " " : (i + 1 == missing.size() ? " and " : ", ");
        text += missing[i];
    }
    return text;
}

std::string reason(const estimation::PtfModel& model, const estimation::InputTexts& texts,
                   const estimation::FailureReason& failure, estimation::DecimalSeparator separator,
                   estimation::ParticleSizeScale scale) {
    if (failure.kind == estimation::FailureKind::typeMismatch && failure.input &&
        blank(texts.at(static_cast<std::size_t>(*failure.input)))) {
        return needs(model, texts, scale);
    }
    return failureDetail(failure, separator);
}

SoilRow row(const estimation::PtfModel& model, const estimation::InputTexts& texts,
            estimation::DecimalSeparator separator, estimation::ParticleSizeScale scale) {
    using estimation::Precision;
    const estimation::SoilEstimate estimated =
        estimation::estimateSoil(model, texts, separator, Precision::general, scale);

    SoilRow cells;
    cells[static_cast<std::size_t>(SoilColumn::model)] = model.listText;
    cells[static_cast<std::size_t>(SoilColumn::unit)] = model.unit;
    // As the window shows them: two decimals, or the 15-digit texts written before a failure.
    const Precision shown = estimated.failure() ? Precision::general : Precision::fixed;
    for (int i = 0; i < estimated.computed(); ++i) {
        cells.at(static_cast<std::size_t>(SoilColumn::fc) + static_cast<std::size_t>(i)) =
            estimated.text(static_cast<estimation::Result>(i), separator.get(), shown);
    }

    std::string remarks;
    if (estimated.failure()) {
        remarks = reason(model, texts, *estimated.failure(), separator, scale);
    }
    // The sum and the conversion describe the soil, not the model: the summary says them once.
    estimation::Flags flags = estimated.flags();
    flags.remove(estimation::Flag::sum);
    flags.remove(estimation::Flag::psd);
    for (const estimation::Flag flag : estimation::allFlags) {
        if (flags.contains(flag)) {
            remarks += remarks.empty() ? "" : " ";
            remarks += estimation::sentence(flag);
        }
    }
    cells[static_cast<std::size_t>(SoilColumn::remarks)] = std::move(remarks);
    return cells;
}

template <typename Cells> void appendCells(std::string& out, const Cells& cells) {
    for (const auto& cell : cells) {
        out += cellText(cell);
        out += '\t';
    }
}

void appendLine(std::string& out, const std::array<std::string_view, 5>& soil,
                const SoilRow& cells) {
    appendCells(out, soil);
    appendCells(out, cells);
    out.back() = '\n';
}

} // namespace

const SoilRow& soilTableHeader() {
    static const SoilRow header{"Model", "Unit", "FC", "PWP", "AWC (mm)", "Remarks"};
    return header;
}

SoilTable soilTable(const estimation::InputTexts& texts, estimation::DecimalSeparator separator,
                    estimation::ParticleSizeScale scale) {
    SoilTable table;
    for (std::size_t i = 0; i < table.size(); ++i) {
        table[i] = row(estimation::ModelCatalogue.at(i), texts, separator, scale);
    }
    return table;
}

std::string tabSeparated(const estimation::InputTexts& texts,
                         estimation::DecimalSeparator separator, const SoilTable& table,
                         estimation::ParticleSizeScale scale) {
    const auto texture = soilTexture(texts, separator, scale);
    const std::array<std::string_view, 5> soil{texts[0], texts[1], texts[2], texts[3],
                                               texture ? estimation::name(*texture)
                                                       : std::string_view()};

    std::string out;
    const std::string_view textureHeader =
        scale == estimation::ParticleSizeScale::usda ? "USDA texture class" : "Texture class";
    appendLine(out, {"Sand (%)", "Silt (%)", "Clay (%)", "OC (g/kg)", textureHeader},
               soilTableHeader());
    for (const SoilRow& cells : table) {
        appendLine(out, soil, cells);
    }
    return out;
}

// ---- The models' spread

namespace {

std::string twoDecimals(double value, estimation::DecimalSeparator separator) {
    return estimation::fixedText(estimation::generalText(value, separator), separator);
}

// "Range: FC 25.32\u201338.73, PWP 11.71\u201318.38, AWC 17.42\u201333.39 mm."
std::string rangeText(const estimation::ModelSpread& spread,
                      estimation::DecimalSeparator separator) {
    std::string text = "Range:";
    for (const estimation::Result result :
         {estimation::Result::fc, estimation::Result::pwp, estimation::Result::awc}) {
        text += result == estimation::Result::fc ? " " : ", ";
        text += result == estimation::Result::fc    ? "FC "
                : result == estimation::Result::pwp ? "PWP "
                                                    : "AWC ";
        text += twoDecimals(spread.lowest(result), separator) + "\u2013" +
                twoDecimals(spread.highest(result), separator);
    }
    return text + " mm.";
}

} // namespace

SoilRow soilSpread(const estimation::InputTexts& texts, estimation::DecimalSeparator separator,
                   estimation::ParticleSizeScale scale) {
    // The two-decimal numbers the models' rows show, as talvo-batch's mean takes them.
    estimation::ModelSpread spread;
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        const estimation::SoilEstimate estimated =
            estimation::estimateSoil(model, texts, separator, estimation::Precision::fixed, scale);
        if (const auto numbers = estimated.numbers()) {
            spread.add(model, *numbers);
        }
    }
    SoilRow cells;
    cells[static_cast<std::size_t>(SoilColumn::model)] = estimation::spreadLabel(spread.count());
    cells[static_cast<std::size_t>(SoilColumn::unit)] = estimation::SpreadUnit;
    std::string& remarks = cells[static_cast<std::size_t>(SoilColumn::remarks)];
    if (spread.count() == 0) {
        remarks = "No mean: no model gave a number";
        return cells;
    }
    for (int i = 0; i < 3; ++i) {
        cells.at(static_cast<std::size_t>(SoilColumn::fc) + static_cast<std::size_t>(i)) =
            twoDecimals(spread.mean(static_cast<estimation::Result>(i)), separator);
    }
    remarks = rangeText(spread, separator) + " " + std::string(estimation::SpreadNote) + ".";
    return cells;
}

} // namespace talvo::form
