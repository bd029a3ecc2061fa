#pragma once

// The seven models once more, written from their published equations as plain doubles and
// apart from the engine's catalogue, so that a slip in either shows as a difference. Products
// of a constant and an input are one multiplication; sums go strictly in the grouping shown.

#include <array>
#include <cstddef>

namespace talvo::fuzz {

enum class Box { sand, silt, clay, oc };

struct Soil {
    double S = 0, Si = 0, C = 0, OC = 0;
};

// One equation: its value, and the boxes it converts in the order it converts them. A
// product with OC (`ocFactor`, when not 0) is formed right after OC is read, before the rest.
// Only position 1's PWP divides, by OC.
struct ReferenceEquation {
    double (*value)(const Soil&);
    std::array<Box, 3> reads;
    std::size_t readCount;
    double ocFactor;
    bool dividesByOc = false;
};

struct ReferenceModel {
    ReferenceEquation fc;
    ReferenceEquation pwp;
    bool gravimetric; // AWC takes the bulk density 1.49
};

// clang-format off
inline constexpr std::array<ReferenceModel, 7> referenceModels{{
    {{[](const Soil& s) { return (29.79202 - 0.26349 * s.S) + 0.20657 * s.C; },
      {Box::sand, Box::clay}, 2, 0, false},
     {[](const Soil& s) { return ((5.04007 - 0.03849 * s.S) + 0.23203 * s.C) - (0.00057 * s.S) * s.C; },
      {Box::sand, Box::clay}, 2, 0, false},
     true},
    {{[](const Soil& s) { return ((29.76823 - 0.26336 * s.S) + 0.20597 * s.C) + s.OC * 0.01098; },
      {Box::oc, Box::sand, Box::clay}, 3, 0.01098, false},
     {[](const Soil& s) {
          return (((1.6332 + 0.29793 * s.C) - (0.00119 * s.S) * s.C) + (0.00094 * s.S) * s.OC) +
                 (0.00396 * s.C) / s.OC;
      },
      {Box::clay, Box::sand, Box::oc}, 3, 0, true},
     true},
    {{[](const Soil& s) { return ((25.76 - 0.2 * s.S) + 0.36 * s.C) + s.OC * 5.17868; },
      {Box::oc, Box::sand, Box::clay}, 3, 5.17868, false},
     {[](const Soil& s) { return (2.6 + 0.5 * s.C) + s.OC * 2.73656; },
      {Box::oc, Box::clay}, 2, 2.73656, false},
     false},
    {{[](const Soil& s) { return (4.046 + 0.426 * s.Si) + 0.404 * s.C; }, {Box::silt, Box::clay}, 2, 0, false},
     {[](const Soil& s) { return (0.91 + 0.15 * s.Si) + 0.396 * s.C; }, {Box::silt, Box::clay}, 2, 0, false},
     false},
    {{[](const Soil& s) { return 57.58 - 0.5 * s.S; }, {Box::sand}, 1, 0, false},
     {[](const Soil& s) { return 2.37 + 0.43 * s.C; }, {Box::clay}, 1, 0, false},
     false},
    {{[](const Soil& s) { return (56.37 - 0.51 * s.S) - 0.27 * s.Si; }, {Box::sand, Box::silt}, 2, 0, false},
     {[](const Soil& s) { return 0.71 + 0.44 * s.C; }, {Box::clay}, 1, 0, false},
     false},
    {{[](const Soil& s) { return ((27.447 + 0.078 * s.C) + 0.248 * s.Si) - 0.241 * s.S; },
      {Box::clay, Box::silt, Box::sand}, 3, 0, false},
     {[](const Soil& s) { return ((20.695 + 0.021 * s.C) - 0.028 * s.Si) - 0.179 * s.S; },
      {Box::clay, Box::silt, Box::sand}, 3, 0, false},
     true},
}};
// clang-format on

// The dividend's side of position 1's PWP: finite exactly when a zero OC is the first failure.
inline double beforeDivision(const Soil& s) {
    return ((1.6332 + 0.29793 * s.C) - (0.00119 * s.S) * s.C) + (0.00094 * s.S) * s.OC;
}

// Available water of a 15 cm layer in mm from FC and PWP as read back from their texts.
inline double referenceAwc(const ReferenceModel& model, double fc, double pwp) {
    return model.gravimetric ? ((fc - pwp) / 100) * 1.49 * 150 : ((fc - pwp) / 100) * 150;
}

} // namespace talvo::fuzz
