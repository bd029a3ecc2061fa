#include "estimation/detail/catalogue.h"
#include "estimation/estimation.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace talvo::estimation {

namespace {

constexpr std::size_t index(Input input) noexcept {
    return static_cast<std::size_t>(input);
}

// ln x for x in (0, 1]. std::log's last bit differs between C libraries, and a draw's bits
// must not: frexp splits x exactly, and the series for atanh takes only + - * /, which IEEE
// 754 rounds alike everywhere (the engine is built without fused multiply-add).
double portableLog(double x) noexcept {
    constexpr double Ln2 = 0.6931471805599453;
    constexpr double RootHalf = 0.7071067811865476;
    int exponent = 0;
    double m = std::frexp(x, &exponent); // [0.5, 1)
    if (m < RootHalf) {
        m *= 2.0;
        --exponent;
    }
    // ln m = 2 atanh s; |s| < 0.172, so s^2 < 0.0295 and eleven terms reach 1e-17.
    const double s = (m - 1.0) / (m + 1.0);
    const double s2 = s * s;
    double sum = 0.0;
    for (int k = 21; k >= 3; k -= 2) {
        sum = (sum + 1.0 / k) * s2;
    }
    return static_cast<double>(exponent) * Ln2 + 2.0 * s * (1.0 + sum);
}

// Standard normal numbers by Marsaglia's polar method over mt19937_64's raw output, which the
// standard fixes to the bit. std::normal_distribution is the library's own choice of method,
// and would give other draws on another platform.
class NormalNumbers {
public:
    explicit NormalNumbers(std::uint64_t seed) : m_bits(seed) {}
    double next() {
        if (m_spareReady) {
            m_spareReady = false;
            return m_spare;
        }
        for (;;) {
            const double u = uniform(), v = uniform();
            const double s = u * u + v * v;
            if (s < 1.0 && s > 0.0) {
                const double factor = std::sqrt(-2.0 * portableLog(s) / s);
                m_spare = v * factor;
                m_spareReady = true;
                return u * factor;
            }
        }
    }

private:
    // [-1, 1) from the top 53 bits: every value a multiple of 2^-52, exactly.
    double uniform() { return static_cast<double>(m_bits() >> 11U) * 0x1.0p-52 - 1.0; }
    std::mt19937_64 m_bits;
    double m_spare = 0.0;
    bool m_spareReady = false;
};

bool soundSpread(double sd) noexcept {
    return sd >= 0.0 && std::isfinite(sd);
}

// The content that takes up the others' difference: the first of silt, sand, clay without a
// spread.
std::optional<Input> balancing(const InputSpread& spread) noexcept {
    for (const Input input : {Input::silt, Input::sand, Input::clay}) {
        if (spread[index(input)] == 0.0) {
            return input;
        }
    }
    return std::nullopt;
}

// A changed content within 0..100, OC not below 0; a content that holds no number stays so.
bool within(Input input, double value) noexcept {
    if (std::isnan(value)) {
        return true;
    }
    return input == Input::oc ? value >= 0.0 : value >= 0.0 && value <= PercentDivisor;
}

} // namespace

std::string_view describe(DrawFailure failure) {
    switch (failure) {
    case DrawFailure::spread:
        return "No spread: a standard deviation below 0 or no number";
    case DrawFailure::threeSpreads:
        return "No spread: sand, silt and clay all have a standard deviation, and none is left "
               "to keep their sum";
    case DrawFailure::outside:
        return "No spread: too few draws fall within 0-100 %";
    }
    return {};
}

SoilDraws::SoilDraws(DrawSettings settings) : m_settings(settings) {
    assert(settings.draws >= FewestDraws && settings.draws <= MostDraws);
    m_soils.reserve(static_cast<std::size_t>(settings.draws));
}

std::optional<DrawFailure> SoilDraws::draw(const InputValues& soil, const InputSpread& spread) {
    m_soils.clear();
    if (!std::all_of(spread.begin(), spread.end(), soundSpread)) {
        return DrawFailure::spread;
    }
    const std::optional<Input> balance = balancing(spread);
    if (!balance) {
        return DrawFailure::threeSpreads;
    }
    NormalNumbers normal(m_settings.seed);
    const auto wanted = static_cast<std::size_t>(m_settings.draws);
    for (std::size_t tries = wanted * static_cast<std::size_t>(TriesPerDraw);
         m_soils.size() < wanted; --tries) {
        if (tries == 0) {
            m_soils.clear();
            return DrawFailure::outside;
        }
        InputValues drawn = soil;
        double moved = 0.0; // what sand, silt and clay moved by, taken up by the balance
        bool inside = true;
        for (const Input input : allInputs) {
            const double sd = spread[index(input)];
            double& value = drawn[index(input)].number;
            // A content that holds no number stays so, and moves no other.
            if (sd == 0.0 || std::isnan(value)) {
                continue;
            }
            const double step = sd * normal.next();
            value += step;
            moved += input == Input::oc ? 0.0 : step;
            inside = inside && within(input, value);
        }
        double& balanced = drawn[index(*balance)].number;
        balanced -= moved;
        if (inside && (moved == 0.0 || within(*balance, balanced))) {
            m_soils.push_back(drawn);
        }
    }
    return std::nullopt;
}

Percentiles percentiles(std::span<double> values) {
    assert(!values.empty());
    if (!std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); })) {
        return {};
    }
    std::sort(values.begin(), values.end());
    const auto quantile = [&values](double p) {
        const double h = static_cast<double>(values.size() - 1) * p;
        const double below = std::floor(h);
        const auto i = static_cast<std::size_t>(below);
        const double next = values[std::min(i + 1, values.size() - 1)];
        return values[i] + (h - below) * (next - values[i]);
    };
    return {quantile(0.05), quantile(0.5), quantile(0.95)};
}

std::array<double, 3> quickResults(const PtfModel& model, const InputValues& inputs,
                                   ParticleSizeScale scale) noexcept {
    InputValues soil = inputs;
    if (scale == ParticleSizeScale::usda) {
        double& sand = soil[index(Input::sand)].number;
        double& silt = soil[index(Input::silt)].number;
        const ParticleSizes converted =
            internationalFromUsda({sand, silt, soil[index(Input::clay)].number});
        sand = converted.sand;
        silt = converted.silt;
    }
    const detail::DoubleOperands operands(soil);
    const double fc = model.fc.doubles(operands);
    const double pwp = model.pwp.doubles(operands);
    const double awc = detail::availableWater(model, fc, pwp);
    const auto finite = [](double v) { return std::isfinite(v) ? v : NoNumber; };
    return {finite(fc), finite(pwp), finite(awc)};
}

} // namespace talvo::estimation
