#include "evaluation/scores.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace talvo::evaluation {

void Sums::add(double estimated, double measured) noexcept {
    const double difference = estimated - measured;
    n += 1;
    d += difference;
    absD += std::abs(difference);
    dd += difference * difference;
    e += estimated;
    ee += estimated * estimated;
    m += measured;
    mm += measured * measured;
    em += estimated * measured;
}

void Sums::add(const Sums& other, double times) noexcept {
    n += times * other.n;
    d += times * other.d;
    absD += times * other.absD;
    dd += times * other.dd;
    e += times * other.e;
    ee += times * other.ee;
    m += times * other.m;
    mm += times * other.mm;
    em += times * other.em;
}

Scores scores(const Sums& sums) noexcept {
    Scores result;
    result.n = sums.n;
    if (sums.n == 0) {
        return result;
    }
    result.me = sums.d / sums.n;
    result.mae = sums.absD / sums.n;
    result.rmse = std::sqrt(sums.dd / sums.n);
    // Centred sums; rounding can leave a spread of nothing slightly below zero.
    const double measuredSpread = sums.mm - sums.m * sums.m / sums.n;
    const double estimatedSpread = sums.ee - sums.e * sums.e / sums.n;
    const double together = sums.em - sums.e * sums.m / sums.n;
    if (sums.n >= 2 && measuredSpread > 0) {
        result.nse = 1 - sums.dd / measuredSpread;
        if (estimatedSpread > 0) {
            // At most 1, as a squared correlation is; rounding in the sums can pass it.
            result.r2 = std::min(1.0, together * together / (measuredSpread * estimatedSpread));
        }
    }
    return result;
}

std::uint64_t SplitMix64::next() noexcept {
    std::uint64_t z = (m_state += 0x9e3779b97f4a7c15U);
    z = (z ^ (z >> 30U)) * 0xbf58476d1ce4e5b9U;
    z = (z ^ (z >> 27U)) * 0x94d049bb133111ebU;
    return z ^ (z >> 31U);
}

std::uint32_t SplitMix64::below(std::uint32_t bound) noexcept {
    assert(bound > 0);
    // The high half of a 64-bit product is uniform once the low half's biased values are
    // drawn again.
    std::uint64_t product = (next() >> 32U) * bound;
    auto low = static_cast<std::uint32_t>(product);
    if (low < bound) {
        const std::uint32_t threshold = (0U - bound) % bound;
        while (low < threshold) {
            product = (next() >> 32U) * bound;
            low = static_cast<std::uint32_t>(product);
        }
    }
    return static_cast<std::uint32_t>(product >> 32U);
}

double percentile(std::span<const double> sorted, double q) noexcept {
    if (sorted.empty()) {
        return NoNumber;
    }
    const double position = q * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(position);
    if (below + 1 >= sorted.size()) {
        return sorted.back();
    }
    const double fraction = position - static_cast<double>(below);
    return sorted[below] + fraction * (sorted[below + 1] - sorted[below]);
}

namespace {

// Each score of the resamples, undefined ones left out.
struct Draws {
    std::vector<double> me, mae, rmse, r2, nse;

    void add(const Scores& s) {
        for (auto [values, value] :
             {std::pair{&me, s.me}, std::pair{&mae, s.mae}, std::pair{&rmse, s.rmse},
              std::pair{&r2, s.r2}, std::pair{&nse, s.nse}}) {
            if (!std::isnan(value)) {
                values->push_back(value);
            }
        }
    }
    ScoreIntervals intervals() {
        const auto interval = [](std::vector<double>& values) {
            std::sort(values.begin(), values.end());
            const double tail = (1 - IntervalLevel) / 2;
            return Interval{percentile(values, tail), percentile(values, 1 - tail)};
        };
        return {interval(me), interval(mae), interval(rmse), interval(r2), interval(nse)};
    }
};

} // namespace

std::vector<ScoreIntervals> bootstrap(std::span<const Sums> groups, std::size_t width,
                                      std::uint64_t seed, int resamples) {
    assert(width > 0 && groups.size() % width == 0);
    const std::size_t groupCount = groups.size() / width;
    std::vector<Draws> draws(width);
    if (groupCount == 0) {
        return std::vector<ScoreIntervals>(width);
    }
    SplitMix64 generator(seed);
    std::vector<std::uint32_t> counts(groupCount);
    std::vector<Sums> resample(width);
    for (int r = 0; r < resamples; ++r) {
        std::fill(counts.begin(), counts.end(), 0U);
        for (std::size_t i = 0; i < groupCount; ++i) {
            ++counts[generator.below(static_cast<std::uint32_t>(groupCount))];
        }
        std::fill(resample.begin(), resample.end(), Sums{});
        for (std::size_t g = 0; g < groupCount; ++g) {
            if (counts[g] == 0) {
                continue;
            }
            const double times = counts[g];
            const Sums* group = &groups[g * width];
            for (std::size_t k = 0; k < width; ++k) {
                resample[k].add(group[k], times);
            }
        }
        for (std::size_t k = 0; k < width; ++k) {
            draws[k].add(scores(resample[k]));
        }
    }
    std::vector<ScoreIntervals> intervals;
    intervals.reserve(width);
    for (Draws& d : draws) {
        intervals.push_back(d.intervals());
    }
    return intervals;
}

} // namespace talvo::evaluation
