#include "form/retention_chart.h"

#include "form/failure_message.h"
#include "form/sheet_text.h"

#include <cmath>
#include <cstddef>
#include <optional>
#include <string_view>

namespace talvo::form {

using estimation::HydraulicModel;
using estimation::Input;

namespace {

// Enough points that the straight pieces between them pass for the curve at chart sizes.
constexpr int PointCount = 81;
constexpr double Percent = 100.0;
constexpr double CarbonGramsPerKilogramPerPercent = 10.0;

bool blank(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

// The soil the model reads, or why there is none.
struct FormSoil {
    estimation::HydraulicSoil soil{};
    bool converted = false;
    std::string failure;
};

// "Needs sand and organic carbon." for boxes left blank; the form's own wording otherwise.
std::optional<std::array<double, 4>> numbers(const estimation::InputTexts& texts,
                                             estimation::DecimalSeparator separator,
                                             std::string& failure) {
    std::string missing;
    std::array<double, 4> out{};
    for (const Input input : estimation::allInputs) {
        const auto at = static_cast<std::size_t>(input);
        if (blank(texts.at(at))) {
            missing += missing.empty() ? "" : ", ";
            missing += inputWords(input);
            continue;
        }
        const estimation::InputValue value = estimation::inputValue(texts.at(at), separator);
        if (value.failure && failure.empty()) {
            failure = failureDetail({*value.failure, input}, separator);
        }
        out.at(at) = value.number;
    }
    if (!missing.empty()) {
        const std::size_t last = missing.rfind(", ");
        if (last != std::string::npos) {
            missing.replace(last, 2, " and ");
        }
        failure = "The curve needs " + missing + ".";
    }
    if (!failure.empty()) {
        return std::nullopt;
    }
    return out;
}

FormSoil formSoil(const estimation::InputTexts& texts, estimation::DecimalSeparator separator,
                  estimation::ParticleSizeScale scale) {
    FormSoil out;
    const std::optional<std::array<double, 4>> values = numbers(texts, separator, out.failure);
    if (!values) {
        return out;
    }
    estimation::ParticleSizes sizes{(*values)[0], (*values)[1], (*values)[2]};
    if (scale == estimation::ParticleSizeScale::international) {
        try {
            sizes = estimation::usdaFromInternational(sizes);
        } catch (const estimation::Failure& failure) {
            out.failure = estimation::failureText(failure.reason(), texts[0]);
            return out;
        }
        out.converted = true;
    }
    out.soil.sand = sizes.sand;
    out.soil.silt = sizes.silt;
    out.soil.clay = sizes.clay;
    // The form's box takes OC in g/kg; the model reads OM in %.
    out.soil.organicMatter =
        estimation::organicMatterFromCarbon((*values)[3] / CarbonGramsPerKilogramPerPercent);
    return out;
}

CurvePoint pointAt(const estimation::RetentionCurve& curve, double head) {
    return {head, curve.theta(head) * Percent};
}

// The curve, or none where the model's water contents are not all between 0 and 1 (a soil far
// off its inputs' range, clay 1e40): a chart must draw neither NaN nor water beyond the pores.
std::optional<estimation::RetentionCurve> saxtonRawlsCurve(const estimation::HydraulicSoil& soil) {
    try {
        const estimation::HydraulicEstimate estimate =
            estimation::estimateHydraulics(HydraulicModel::saxtonRawls, soil);
        for (const double head : TableHeads) {
            const double theta = estimate.curve.theta(head);
            if (!(theta >= 0.0 && theta <= 1.0)) {
                return std::nullopt;
            }
        }
        return estimate.curve;
    } catch (const estimation::Failure&) {
        return std::nullopt;
    }
}

std::vector<std::string> notes(const FormSoil& soil) {
    std::vector<std::string> out;
    if (soil.converted) {
        out.emplace_back("Sand and silt are widened to the USDA sizes the model reads (psd).");
    }
    if (estimation::outsideDomain(HydraulicModel::saxtonRawls, soil.soil)) {
        out.emplace_back("The soil lies outside the soils the model was fitted on: clay up to "
                         "60 %, organic matter up to 8 % (domain).");
    }
    out.emplace_back("Organic matter is taken as organic carbon x 1.724.");
    return out;
}

} // namespace

std::string thetaText(double theta, estimation::DecimalSeparator separator) {
    return estimation::fixedText(estimation::generalText(theta, separator), separator);
}

RetentionChart retentionChart(const estimation::InputTexts& texts,
                              estimation::DecimalSeparator separator,
                              estimation::ParticleSizeScale scale) {
    RetentionChart chart;
    chart.title = "Water-retention curve, Saxton and Rawls (2006)";
    const FormSoil soil = formSoil(texts, separator, scale);
    if (!soil.failure.empty()) {
        chart.failure = soil.failure;
        chart.description = "No curve: " + soil.failure;
        return chart;
    }
    const std::optional<estimation::RetentionCurve> curve = saxtonRawlsCurve(soil.soil);
    if (!curve) {
        chart.failure = "The model gives no curve for this soil.";
        chart.description = "No curve: " + chart.failure;
        return chart;
    }
    const double decades = std::log10(ChartHeadLast / ChartHeadFirst);
    for (int i = 0; i < PointCount; ++i) {
        const double head = ChartHeadFirst * std::pow(10.0, decades * i / (PointCount - 1));
        chart.points.push_back(pointAt(*curve, head));
    }
    for (const double head : TableHeads) {
        chart.table.push_back(pointAt(*curve, head));
    }
    chart.fieldCapacity = pointAt(*curve, estimation::FieldCapacityHead);
    chart.wiltingPoint = pointAt(*curve, estimation::WiltingPointHead);
    chart.notes = notes(soil);
    chart.description = "Water content (% v/v) against suction head (cm, log scale) from 1 to "
                        "15,000 cm: saturation " +
                        thetaText(chart.table.front().theta, separator) + ", field capacity " +
                        thetaText(chart.fieldCapacity.theta, separator) + ", wilting point " +
                        thetaText(chart.wiltingPoint.theta, separator) + ".";
    return chart;
}

} // namespace talvo::form
