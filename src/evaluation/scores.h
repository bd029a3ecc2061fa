#pragma once

// How well estimates fit measurements: the scores of one model and quantity, and their
// bootstrap intervals. Every score is a function of a few sums over the rows, so rows are
// summed once and resampling works on the sums.

#include "estimation/estimation.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace talvo::evaluation {

using estimation::NoNumber;

// Sums over rows of estimates e, measurements m and differences d = e - m.
struct Sums {
    double n = 0, d = 0, absD = 0, dd = 0, e = 0, ee = 0, m = 0, mm = 0, em = 0;

    void add(double estimated, double measured) noexcept;
    // Adds `other` counted `times` times, as a resample that drew its rows that often.
    void add(const Sums& other, double times) noexcept;
};

// NoNumber where a score is undefined: no rows, or for r2 and nse, no spread.
struct Scores {
    double n = 0;
    double me = NoNumber;   // mean of estimated - measured
    double mae = NoNumber;  // mean absolute error
    double rmse = NoNumber; // root mean squared error
    double r2 = NoNumber;   // squared Pearson correlation
    double nse = NoNumber;  // Nash-Sutcliffe efficiency, 1 - SSE/SST
};

Scores scores(const Sums& sums) noexcept;

struct Interval {
    double low = NoNumber;
    double high = NoNumber;
};

struct ScoreIntervals {
    Interval me, mae, rmse, r2, nse;
};

// SplitMix64: a fixed generator, so that the same table gives the same intervals with any
// compiler and standard library.
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) noexcept : m_state(seed) {}
    std::uint64_t next() noexcept;
    // Uniform in [0, bound), without the bias of a remainder (Lemire's method). bound > 0.
    std::uint32_t below(std::uint32_t bound) noexcept;

private:
    std::uint64_t m_state;
};

inline constexpr std::uint64_t BootstrapSeed = 20260101;
inline constexpr int Resamples = 1000;
inline constexpr double IntervalLevel = 0.95;

// The percentile q (0 to 1) of sorted values, interpolated linearly between neighbours.
double percentile(std::span<const double> sorted, double q) noexcept;

// Percentile intervals from `resamples` resamples of groups of rows. `groups` holds
// `groupCount` runs of `width` sums, one per model and quantity; every resample draws
// groupCount groups with replacement, the same draw for every model, so that the models are
// compared on the same rows. Returns `width` intervals.
std::vector<ScoreIntervals> bootstrap(std::span<const Sums> groups, std::size_t width,
                                      std::uint64_t seed = BootstrapSeed,
                                      int resamples = Resamples);

} // namespace talvo::evaluation
