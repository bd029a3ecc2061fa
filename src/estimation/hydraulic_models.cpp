#include "estimation/estimation.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace talvo::estimation {

namespace {

constexpr std::array<std::string_view, allHydraulicModels.size()> Names{"saxton-rawls", "hypres"};

// Saxton, K.E., Rawls, W.J., 2006. Soil water characteristic estimates by texture and organic
// matter for hydrologic solutions. Soil Sci. Soc. Am. J. 70:1569-1578, Table 1. S and C are
// fractions of 1, OM % by weight. Each regression is corrected by its own second step.
// Public copies carry two errors: 1.238 for theta33's 1.283, and +0.584 S C for -0.584 S C.
struct MoistureRegressions {
    double theta1500;
    double theta33;
    double thetaS33;
    double airEntry; // kPa
    double thetaS;
};

MoistureRegressions moistureRegressions(double S, double C, double OM) noexcept {
    const double t1500t = -0.024 * S + 0.487 * C + 0.006 * OM + 0.005 * (S * OM) -
                          0.013 * (C * OM) + 0.068 * (S * C) + 0.031;
    const double t1500 = t1500t + (0.14 * t1500t - 0.02);
    const double t33t = -0.251 * S + 0.195 * C + 0.011 * OM + 0.006 * (S * OM) - 0.027 * (C * OM) +
                        0.452 * (S * C) + 0.299;
    const double t33 = t33t + (1.283 * t33t * t33t - 0.374 * t33t - 0.015);
    const double tS33t = 0.278 * S + 0.034 * C + 0.022 * OM - 0.018 * (S * OM) - 0.027 * (C * OM) -
                         0.584 * (S * C) + 0.078;
    const double tS33 = tS33t + (0.636 * tS33t - 0.107);
    const double psiEt = -21.67 * S - 27.93 * C - 81.97 * tS33 + 71.12 * (S * tS33) +
                         8.29 * (C * tS33) + 14.05 * (S * C) + 27.16;
    const double psiE = psiEt + (0.02 * psiEt * psiEt - 0.113 * psiEt - 0.70);
    const double thetaS = t33 + tS33 - 0.097 * S + 0.043;
    return {t1500, t33, tS33, psiE, thetaS};
}

// Ks = 1930 (theta_s - theta33)^(3 - lambda) mm/h, lambda = 1/B and
// B = (ln 1500 - ln 33) / (ln theta33 - ln theta1500).
double slope(double theta33, double theta1500) noexcept {
    const double b =
        (std::log(1500.0) - std::log(33.0)) / (std::log(theta33) - std::log(theta1500));
    return 1.0 / b;
}

} // namespace

std::string_view name(HydraulicModel model) {
    return Names.at(static_cast<std::size_t>(model));
}

std::optional<HydraulicModel> hydraulicModel(std::string_view name) noexcept {
    for (const HydraulicModel model : allHydraulicModels) {
        if (Names[static_cast<std::size_t>(model)] == name) {
            return model;
        }
    }
    return std::nullopt;
}

std::string_view source(HydraulicModel model) {
    return modelSheet(model).source;
}

SaxtonRawls saxtonRawls(const HydraulicSoil& soil) noexcept {
    const double S = soil.sand / PercentDivisor;
    const double C = soil.clay / PercentDivisor;
    const MoistureRegressions m = moistureRegressions(S, C, soil.organicMatter);
    SaxtonRawls r{};
    r.theta1500 = m.theta1500;
    r.theta33 = m.theta33;
    r.thetaS = m.thetaS;
    r.thetaS33 = m.thetaS33;
    r.airEntry = m.airEntry;
    r.normalDensity = (1.0 - m.thetaS) * StoneDensity;
    // Density effects: the pores lost to compaction come out of theta_s, a fifth of them out
    // of theta33.
    r.density = r.normalDensity * soil.densityFactor;
    r.thetaSAdjusted = 1.0 - r.density / StoneDensity;
    r.theta33Adjusted = m.theta33 - 0.2 * (m.thetaS - r.thetaSAdjusted);
    r.thetaS33Adjusted = r.thetaSAdjusted - r.theta33Adjusted;
    r.lambda = slope(r.theta33Adjusted, m.theta1500);
    r.ks = 1930.0 * std::pow(r.thetaSAdjusted - r.theta33Adjusted, 3.0 - r.lambda);
    r.paw = r.theta33Adjusted - m.theta1500;
    // Gravel: Rv = a Rw / (1 - Rw (1 - a)), a = matric density / 2.65.
    const double rw = soil.gravel / PercentDivisor;
    const double a = r.density / StoneDensity;
    r.gravelByVolume = coarseFragmentsByVolume(soil.gravel, r.density);
    const double rv = r.gravelByVolume / PercentDivisor;
    r.bulkDensity = r.density * (1.0 - rv) + StoneDensity * rv;
    r.pawWithGravel = r.paw * (1.0 - rv);
    r.ksWithGravel = r.ks * (1.0 - rw) / (1.0 - rw * (1.0 - 3.0 * a / 2.0));
    return r;
}

// Wösten, J.H.M., Lilly, A., Nemes, A., Le Bas, C., 1999. Development and use of a database of
// hydraulic properties of European soils. Geoderma 90:169-185: the continuous PTF. C clay and S
// silt in % (2-50 um), OM in %, D bulk density g/cm³, topsoil 1 or 0; alpha in 1/cm, Ks in
// cm/day. Theta_r is 0: the continuous PTF gives theta_s, alpha, n, l and Ks alone. Copies
// of these equations differ in places (0.000001419 for theta_s' 0.000001491 S^2, 0.2986 for
// Ks*'s 0.02986 topsoil C); these coefficients are the ones two independent restatements
// agree on term by term, one of them in fractions and kg/m³.
Hypres hypres(const HydraulicSoil& soil) noexcept {
    const double C = soil.clay;
    const double S = soil.silt;
    const double OM = soil.organicMatter;
    const double D = soil.bulkDensity;
    const double top = soil.topsoil ? 1.0 : 0.0;
    const double thetaS = 0.7919 + 0.001691 * C - 0.29619 * D - 0.000001491 * S * S +
                          0.0000821 * OM * OM + 0.02427 / C + 0.01113 / S + 0.01472 * std::log(S) -
                          0.0000733 * OM * C - 0.000619 * D * C - 0.001183 * D * OM -
                          0.0001664 * top * S;
    const double alpha = -14.96 + 0.03135 * C + 0.0351 * S + 0.646 * OM + 15.29 * D - 0.192 * top -
                         4.671 * D * D - 0.000781 * C * C - 0.00687 * OM * OM + 0.0449 / OM +
                         0.0663 * std::log(S) + 0.1482 * std::log(OM) - 0.04546 * D * S -
                         0.4852 * D * OM + 0.00673 * top * C;
    const double n = -25.23 - 0.02195 * C + 0.0074 * S - 0.1940 * OM + 45.5 * D - 7.24 * D * D +
                     0.0003658 * C * C + 0.002885 * OM * OM - 12.81 / D - 0.1524 / S -
                     0.01958 / OM - 0.2876 * std::log(S) - 0.0709 * std::log(OM) -
                     44.6 * std::log(D) - 0.02264 * D * C + 0.0896 * D * OM + 0.00718 * top * C;
    const double l = 0.0202 + 0.0006193 * C * C - 0.001136 * OM * OM - 0.2316 * std::log(OM) -
                     0.03544 * D * C + 0.00283 * D * S + 0.0488 * D * OM;
    const double ks = 7.755 + 0.0352 * S + 0.93 * top - 0.967 * D * D - 0.000484 * C * C -
                      0.000322 * S * S + 0.001 / S - 0.0748 / OM - 0.643 * std::log(S) -
                      0.01398 * D * C - 0.1673 * D * OM + 0.02986 * top * C - 0.03305 * top * S;
    Hypres h{};
    h.curve = {0.0, thetaS, std::exp(alpha), std::exp(n) + 1.0};
    h.l = 10.0 * std::expm1(l) / (1.0 + std::exp(l));
    h.ks = std::exp(ks);
    return h;
}

double measuredDensityFactor(const HydraulicSoil& soil) noexcept {
    return soil.bulkDensity / saxtonRawls(soil).normalDensity;
}

} // namespace talvo::estimation
