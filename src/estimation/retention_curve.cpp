#include "estimation/estimation.h"

#include <cmath>

namespace talvo::estimation {

namespace {

// theta = theta_r + (theta_s - theta_r) / (1 + (alpha h)^n)^(1 - 1/n): van Genuchten, 1980.
double vanGenuchtenTheta(const VanGenuchten& p, double head) noexcept {
    const double m = 1.0 - 1.0 / p.n;
    return p.thetaR + (p.thetaS - p.thetaR) / std::pow(1.0 + std::pow(p.alpha * head, p.n), m);
}

// Saxton and Rawls, 2006, Table 1, solved for theta: psi = A theta^-B from 33 to 1500 kPa
// (and on, dry of it), psi = 33 - (theta - theta33)(33 - psi_e)/(theta_s - theta33) between
// the air entry and 33 kPa. An air entry below 0, as the regression gives for some sands, is
// taken as 0: a soil under suction is not wetter than saturated.
double powerLawTheta(const PowerLawCurve& p, double head) noexcept {
    const double psi = head / CmPerKilopascal;
    const double airEntry = std::fmax(p.airEntry, 0.0);
    if (psi <= airEntry) {
        return p.thetaS;
    }
    if (psi < 33.0) {
        return p.theta33 + (33.0 - psi) * (p.thetaS - p.theta33) / (33.0 - airEntry);
    }
    const double b =
        (std::log(1500.0) - std::log(33.0)) / (std::log(p.theta33) - std::log(p.theta1500));
    const double a = std::exp(std::log(33.0) + b * std::log(p.theta33));
    return std::pow(psi / a, -1.0 / b);
}

void requirePositive(double value, Input input) {
    if (value == 0.0) {
        throw Failure(FailureKind::divisionByZero, input);
    }
    if (!(value > 0.0) && !std::isnan(value)) {
        throw Failure(FailureKind::outOfRange, input);
    }
}

} // namespace

ParticleSizes usdaFromInternational(const ParticleSizes& international) {
    const double silt = international.silt / UsdaSiltBelow20um;
    const double sand = international.sand - (silt - international.silt);
    if (sand < 0.0) {
        throw Failure(FailureKind::outOfRange, Input::sand);
    }
    return {sand, silt, international.clay};
}

double RetentionCurve::theta(double head) const noexcept {
    if (head <= 0.0) {
        return m_form == Form::vanGenuchten ? m_vanGenuchten.thetaS : m_powerLaw.thetaS;
    }
    return m_form == Form::vanGenuchten ? vanGenuchtenTheta(m_vanGenuchten, head)
                                        : powerLawTheta(m_powerLaw, head);
}

CurveWater curveWater(const RetentionCurve& curve, double fcHead) noexcept {
    const double fc = curve.theta(fcHead);
    const double pwp = curve.theta(WiltingPointHead);
    return {fc, pwp, fc - pwp};
}

namespace {

HydraulicEstimate curveAndConductivity(HydraulicModel model, const HydraulicSoil& soil,
                                       double fcHead) {
    if (model == HydraulicModel::saxtonRawls) {
        const SaxtonRawls r = saxtonRawls(soil);
        const RetentionCurve curve(
            PowerLawCurve{r.thetaSAdjusted, r.theta33Adjusted, r.theta1500, r.airEntry});
        return {curve, r.ks * MmPerHourToCmPerDay, curveWater(curve, fcHead), {}};
    }
    // HYPRES divides by clay, silt and OM, and takes the logarithms of silt and OM.
    requirePositive(soil.clay, Input::clay);
    requirePositive(soil.silt, Input::silt);
    requirePositive(soil.organicMatter, Input::oc);
    const Hypres h = hypres(soil);
    const RetentionCurve curve(h.curve);
    return {curve, h.ks, curveWater(curve, fcHead), {}};
}

} // namespace

HydraulicEstimate estimateHydraulics(HydraulicModel model, const HydraulicSoil& soil,
                                     double fcHead) {
    HydraulicEstimate estimate = curveAndConductivity(model, soil, fcHead);
    if (outsideDomain(model, soil)) {
        estimate.flags.add(Flag::domain);
    }
    if (estimate.water.fc > estimate.curve.theta(0.0)) {
        estimate.flags.add(Flag::porosity);
    }
    return estimate;
}

bool outsideDomain(HydraulicModel model, const HydraulicSoil& soil) noexcept {
    const DomainValues values{soil.sand, soil.silt,          soil.clay,
                              NoNumber,  soil.organicMatter, soil.bulkDensity};
    return outsideDomain(modelSheet(model).calibration, values);
}

} // namespace talvo::estimation
