#include "estimation/estimation.h"

#include <cmath>
#include <cstddef>

namespace talvo::estimation {

HydraulicSoil hydraulicSoil(HydraulicModel model, const HydraulicInputs& inputs, Flags& flags) {
    ParticleSizes sizes = inputs.sizes;
    if (inputs.scale == ParticleSizeScale::international) {
        sizes = usdaFromInternational(sizes);
        flags.add(Flag::psd);
    }
    // g/kg divided, not multiplied by a tenth: the same double in every front end.
    const bool perKilogram = inputs.carbonUnit == CarbonUnit::gramsPerKilogram;
    const double organicMatter =
        inputs.organicMatter
            ? inputs.organic
            : organicMatterFromCarbon(perKilogram ? inputs.organic / 10.0 : inputs.organic);
    HydraulicSoil soil{sizes.sand, sizes.silt, sizes.clay, organicMatter};
    soil.gravel = inputs.gravel;
    soil.bulkDensity = inputs.bulkDensity;
    soil.topsoil = inputs.topsoil;
    if (model == HydraulicModel::saxtonRawls && !std::isnan(inputs.bulkDensity)) {
        soil.densityFactor = measuredDensityFactor(soil);
    }
    return soil;
}

namespace {

// One draw's outputs, NoNumber where it has no estimate.
std::array<double, HydraulicSpreadCount> drawnOutputs(HydraulicModel model, HydraulicInputs inputs,
                                                      const InputValues& drawn, double fcHead) {
    inputs.sizes = {drawn[0].number, drawn[1].number, drawn[2].number};
    inputs.organic = drawn[3].number;
    try {
        Flags flags;
        const HydraulicEstimate estimate =
            estimateHydraulics(model, hydraulicSoil(model, inputs, flags), fcHead);
        return {estimate.water.fc, estimate.water.pwp, estimate.water.awc,
                estimate.curve.theta(0.0), estimate.ks};
    } catch (const Failure&) {
        return {NoNumber, NoNumber, NoNumber, NoNumber, NoNumber};
    }
}

} // namespace

std::optional<DrawFailure>
propagateHydraulics(HydraulicModel model, const HydraulicInputs& inputs, const InputSpread& spread,
                    SoilDraws& draws, double fcHead, HydraulicSpread& out,
                    const std::function<void(const HydraulicOutputs&)>& each) {
    const InputValues soil =
        inputNumbers(inputs.sizes.sand, inputs.sizes.silt, inputs.sizes.clay, inputs.organic);
    if (const std::optional<DrawFailure> failed = draws.draw(soil, spread)) {
        return failed;
    }
    out = propagate<HydraulicSpreadCount>(draws.soils(), [&](const InputValues& drawn) {
        const HydraulicOutputs outputs = drawnOutputs(model, inputs, drawn, fcHead);
        if (each) {
            each(outputs);
        }
        return outputs;
    });
    return std::nullopt;
}

HydraulicNumbers hydraulicNumbers(const HydraulicEstimate& estimate) noexcept {
    const VanGenuchten* vg = estimate.curve.vanGenuchten();
    return {vg != nullptr ? vg->thetaR * 100 : NoNumber,
            estimate.curve.theta(0.0) * 100,
            vg != nullptr ? vg->alpha : NoNumber,
            vg != nullptr ? vg->n : NoNumber,
            estimate.ks,
            estimate.water.fc * 100,
            estimate.water.pwp * 100,
            estimate.water.awc * 100};
}

HydraulicSpreadNumbers hydraulicNumbers(const HydraulicSpread& spread) noexcept {
    HydraulicSpreadNumbers out{};
    for (std::size_t o = 0; o < spread.size(); ++o) {
        // Water in % by volume; Ks, the last, already in cm/day.
        const double scale = o + 1 < spread.size() ? 100.0 : 1.0;
        out.at(3 * o) = spread.at(o).p05 * scale;
        out.at(3 * o + 1) = spread.at(o).p50 * scale;
        out.at(3 * o + 2) = spread.at(o).p95 * scale;
    }
    return out;
}

} // namespace talvo::estimation
