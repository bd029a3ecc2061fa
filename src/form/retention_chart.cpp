#include "form/retention_chart.h"

#include "form/failure_message.h"
#include "form/sheet_text.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string_view>

namespace talvo::form {

using estimation::HydraulicModel;
using estimation::Input;

namespace {

// Enough points that the straight pieces between them pass for the curve at chart sizes.
constexpr std::size_t PointCount = 81;
// The band's heads: the points' and then the table's.
constexpr std::size_t BandHeads = PointCount + TableHeads.size();
constexpr double Percent = 100.0;
constexpr double CarbonGramsPerKilogramPerPercent = 10.0;

bool blank(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

// The soil the model reads, or why there is none.
struct FormSoil {
    estimation::HydraulicSoil soil{};
    std::array<double, 4> values{}; // as typed: the centre of any draws
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

// Sand, silt and clay on `scale` and OC in g/kg as the model reads them. Throws Failure where
// international sizes cannot be widened.
estimation::HydraulicSoil modelSoil(const std::array<double, 4>& values,
                                    estimation::ParticleSizeScale scale) {
    estimation::ParticleSizes sizes{values[0], values[1], values[2]};
    if (scale == estimation::ParticleSizeScale::international) {
        sizes = estimation::usdaFromInternational(sizes);
    }
    estimation::HydraulicSoil soil{};
    soil.sand = sizes.sand;
    soil.silt = sizes.silt;
    soil.clay = sizes.clay;
    // The form's box takes OC in g/kg; the model reads OM in %.
    soil.organicMatter =
        estimation::organicMatterFromCarbon(values[3] / CarbonGramsPerKilogramPerPercent);
    return soil;
}

FormSoil formSoil(const estimation::InputTexts& texts, estimation::DecimalSeparator separator,
                  estimation::ParticleSizeScale scale) {
    FormSoil out;
    const std::optional<std::array<double, 4>> values = numbers(texts, separator, out.failure);
    if (!values) {
        return out;
    }
    out.values = *values;
    try {
        out.soil = modelSoil(*values, scale);
    } catch (const estimation::Failure& failure) {
        out.failure = estimation::failureText(failure.reason(), texts[0]);
        return out;
    }
    out.converted = scale == estimation::ParticleSizeScale::international;
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

// Evenly spaced on the log axis from ChartHeadFirst to ChartHeadLast.
std::array<double, PointCount> chartHeads() {
    std::array<double, PointCount> heads{};
    const double decades = std::log10(ChartHeadLast / ChartHeadFirst);
    for (std::size_t i = 0; i < PointCount; ++i) {
        heads[i] =
            ChartHeadFirst * std::pow(10.0, decades * static_cast<double>(i) / (PointCount - 1));
    }
    return heads;
}

// The typed standard deviations of sand, silt (0: it follows), clay and OC; none where all are
// blank. A text that is no number gives NaN, which the draws refuse in their own words.
std::optional<estimation::InputSpread> inputSpread(const CurveSpread& spread,
                                                   estimation::DecimalSeparator separator) {
    if (blank(spread.sand) && blank(spread.clay) && blank(spread.oc)) {
        return std::nullopt;
    }
    const auto number = [separator](const std::string& text) {
        if (blank(text)) {
            return 0.0;
        }
        const estimation::ParsedNumber parsed = estimation::readNumber(text, separator);
        return parsed.failure ? estimation::NoNumber : parsed.value;
    };
    return estimation::InputSpread{number(spread.sand), 0.0, number(spread.clay),
                                   number(spread.oc)};
}

std::array<double, BandHeads> bandHeads() {
    std::array<double, BandHeads> heads{};
    const std::array<double, PointCount> points = chartHeads();
    std::copy(points.begin(), points.end(), heads.begin());
    std::copy(TableHeads.begin(), TableHeads.end(), heads.begin() + PointCount);
    return heads;
}

// One drawn soil's water at `heads`, % v/v; NaN where its sizes cannot be widened or the model
// fails.
std::array<double, BandHeads> drawnThetas(const estimation::InputValues& drawn,
                                          const std::array<double, BandHeads>& heads,
                                          estimation::ParticleSizeScale scale) {
    std::array<double, BandHeads> out{};
    out.fill(estimation::NoNumber);
    try {
        const std::array<double, 4> values{drawn[0].number, drawn[1].number, drawn[2].number,
                                           drawn[3].number};
        const estimation::RetentionCurve curve =
            estimation::estimateHydraulics(HydraulicModel::saxtonRawls, modelSoil(values, scale))
                .curve;
        for (std::size_t i = 0; i < BandHeads; ++i) {
            out[i] = curve.theta(heads[i]) * Percent;
        }
    } catch (const estimation::Failure&) {
        // no number for this draw
    }
    return out;
}

// The band of soils drawn around the form's, each through the form's own path to the curve,
// or a note saying why there is none. A draw whose sizes cannot be widened or whose model
// fails gives no number, and with it no band: percentiles over the draws that succeeded would
// hide that the soil lies at an edge.
void addBand(RetentionChart& chart, const FormSoil& soil, const CurveSpread& spread,
             estimation::ParticleSizeScale scale, estimation::DecimalSeparator separator) {
    const std::optional<estimation::InputSpread> deviations = inputSpread(spread, separator);
    if (!deviations) {
        return;
    }
    estimation::InputValues centre;
    for (std::size_t i = 0; i < centre.size(); ++i) {
        centre[i] = {soil.values[i], std::nullopt};
    }
    estimation::SoilDraws draws(spread.settings);
    if (const std::optional<estimation::DrawFailure> failed = draws.draw(centre, *deviations)) {
        chart.notes.push_back(std::string(estimation::describe(*failed)) + ".");
        return;
    }
    const std::array<double, BandHeads> heads = bandHeads();
    const std::array<estimation::Percentiles, BandHeads> percentiles =
        estimation::propagate<BandHeads>(draws.soils(), [&](const estimation::InputValues& drawn) {
            return drawnThetas(drawn, heads, scale);
        });
    if (std::any_of(percentiles.begin(), percentiles.end(),
                    [](const estimation::Percentiles& p) { return std::isnan(p.p05); })) {
        chart.notes.emplace_back("No band: some drawn soils give no curve.");
        return;
    }
    for (std::size_t i = 0; i < BandHeads; ++i) {
        (i < PointCount ? chart.band : chart.tableBand)
            .push_back({heads[i], percentiles[i].p05, percentiles[i].p95});
    }
    chart.notes.push_back("The band holds the middle 90 % of " +
                          std::to_string(spread.settings.draws) + " soils drawn (seed " +
                          std::to_string(spread.settings.seed) +
                          ") with the standard deviations of sand, clay and OC; silt follows.");
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
                              estimation::ParticleSizeScale scale, const CurveSpread& spread) {
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
    for (const double head : chartHeads()) {
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
    addBand(chart, soil, spread, scale, separator);
    if (!chart.band.empty()) {
        chart.description += " Shaded: the 5th to 95th percentile of the drawn soils.";
    }
    return chart;
}

} // namespace talvo::form
