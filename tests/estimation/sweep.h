#pragma once

// Long random sweeps run a fast sample by default and in full with TALVO_EXHAUSTIVE_TESTS;
// the fuzz targets go on from there.

namespace talvo::estimation {

#ifdef TALVO_EXHAUSTIVE_TESTS
inline constexpr int sweepDivisor = 1;
#else
inline constexpr int sweepDivisor = 50;
#endif

// The sample size for a sweep of `exhaustiveCount` cases.
constexpr int sweep(int exhaustiveCount) {
    return exhaustiveCount / sweepDivisor;
}

} // namespace talvo::estimation
