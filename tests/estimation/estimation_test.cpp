// The engine's door: columns of soils give what each soil gives alone, whatever quick path the
// engine takes, and the texts on demand are the window's.

#include "estimation/detail/portable.h"
#include "estimation/estimation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace talvo::estimation {
namespace {

using namespace detail; // NOLINT(google-build-using-namespace): the engine's own tests

// Contents as laboratories give them, whole percents, and awkward numbers mixed.
std::vector<std::array<double, 4>> mixedSoils(std::size_t count) {
    constexpr std::array awkward{NoNumber,
                                 HUGE_VAL,
                                 -HUGE_VAL,
                                 0.0,
                                 -0.0,
                                 -3.5,
                                 100.0,
                                 104.25,
                                 250.0,
                                 1e-300,
                                 1e300,
                                 4e12,
                                 3.1538475837248345e301};
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> content(-5, 105);
    std::vector<std::array<double, 4>> soils(count);
    for (std::array<double, 4>& soil : soils) {
        for (double& number : soil) {
            const auto pick = random() % 8;
            number = pick == 0   ? awkward[random() % awkward.size()]
                     : pick == 1 ? std::round(content(random))
                     : pick == 2 ? content(random)
                                 : std::round(content(random) * 100) / 100;
        }
    }
    return soils;
}

// Soils on the triangle with two decimals, as tables hold them, the awkward ones mixed in.
std::vector<std::array<double, 4>> triangleAndMixedSoils(std::size_t count) {
    std::vector<std::array<double, 4>> soils = mixedSoils(count / 2);
    std::mt19937_64 random(20261209);
    std::uniform_int_distribution<int> hundredths(0, 10000);
    while (soils.size() < count) {
        const int clay = hundredths(random);
        const int silt = std::uniform_int_distribution<int>(0, 10000 - clay)(random);
        soils.push_back({(10000 - clay - silt) / 100.0, silt / 100.0, clay / 100.0, 20.0});
    }
    std::shuffle(soils.begin(), soils.end(), random);
    return soils;
}

struct Columns {
    std::array<std::vector<double>, 4> inputs;
    std::vector<double> fc, pwp, awc;
    std::vector<std::uint16_t> flags;
    std::vector<std::uint8_t> texture, failure;

    explicit Columns(const std::vector<std::array<double, 4>>& soils)
        : fc(soils.size()), pwp(soils.size()), awc(soils.size()), flags(soils.size()),
          texture(soils.size()), failure(soils.size()) {
        for (const std::array<double, 4>& soil : soils) {
            for (std::size_t input = 0; input < 4; ++input) {
                inputs[input].push_back(soil[input]);
            }
        }
    }
    ResultColumns results() {
        return {fc.data(), pwp.data(), awc.data(), flags.data(), texture.data(), failure.data()};
    }
};

bool sameBits(double a, double b) {
    return bitCast<std::uint64_t>(a) == bitCast<std::uint64_t>(b) ||
           (std::isnan(a) && std::isnan(b));
}

// Every model in both precisions: each soil of the columns is estimateSoil's, to the bit, in
// lanes, in the remainder after them, and with a column given as one value for all.
class SoilEstimatorTest : public testing::TestWithParam<ParticleSizeScale> {};

TEST_P(SoilEstimatorTest, ColumnsGiveWhatEachSoilGivesAlone) {
    const ParticleSizeScale scale = GetParam();
    const std::vector<std::array<double, 4>> soils = triangleAndMixedSoils(4003);
    for (const PtfModel& model : ModelCatalogue) {
        for (const Precision precision : {Precision::fixed, Precision::general}) {
            SCOPED_TRACE(testing::Message()
                         << model.listText << ' ' << static_cast<int>(precision));
            Columns columns(soils);
            const std::array<double, 1> oneOc{25.0};
            SoilColumns in{{columns.inputs[0], columns.inputs[1], columns.inputs[2], oneOc},
                           soils.size()};
            SoilEstimator estimator(model, precision, scale);
            estimator.estimate(in, columns.results());
            for (std::size_t i = 0; i < soils.size(); ++i) {
                const std::array<double, 4>& soil = soils[i];
                const SoilEstimate alone = estimateSoil(
                    model, inputNumbers(soil[0], soil[1], soil[2], oneOc[0]), precision, scale);
                const auto numbers = alone.numbers();
                const std::array<double, 3> got{columns.fc[i], columns.pwp[i], columns.awc[i]};
                for (std::size_t r = 0; r < 3; ++r) {
                    ASSERT_TRUE(sameBits(got[r], numbers ? (*numbers)[r] : NoNumber))
                        << "soil " << i << " result " << r << ": " << got[r];
                }
                ASSERT_EQ(columns.flags[i], alone.flags().bits()) << "soil " << i;
                const auto texture = alone.texture();
                ASSERT_EQ(columns.texture[i],
                          texture ? static_cast<std::uint8_t>(*texture) : NoTexture);
                const auto failure = alone.numberFailure();
                ASSERT_EQ(columns.failure[i], failure ? 1 + static_cast<int>(*failure) : 0);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, SoilEstimatorTest,
                         testing::Values(ParticleSizeScale::international, ParticleSizeScale::usda),
                         [](const testing::TestParamInfo<ParticleSizeScale>& scale) {
                             return std::string(name(scale.param));
                         });

// The texts on demand, and the numbers they stand for, from texts as a user types them.
TEST(SoilEstimateTest, TextsAndNumbersOfOneSoil) {
    struct Case {
        int model;
        InputTexts texts;
        Precision precision;
        std::array<const char*, 3> results; // empty: failed
        const char* failure;
    };
    const std::vector<Case> cases{
        {2, {"40", "40", "20", "5"}, Precision::fixed, {"50.85", "26.28", "36.86"}, ""},
        {2, {"40", "40", "20", "5"}, Precision::general, {"50.8534", "26.2828", "36.8559"}, ""},
        {2, {"40", "", "x", "5"}, Precision::fixed, {"", "", ""}, "Type mismatch: clay"},
        {1, {"40", "40", "20", "0"}, Precision::fixed, {"", "", ""}, "Division by zero: oc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.results[0]);
        const SoilEstimate soil = estimateSoil(ModelCatalogue[static_cast<std::size_t>(c.model)],
                                               c.texts, DecimalSeparator{}, c.precision);
        if (*c.failure != '\0') {
            ASSERT_TRUE(soil.failure());
            EXPECT_EQ(failureText(*soil.failure()), c.failure);
            EXPECT_FALSE(soil.numbers());
            continue;
        }
        ASSERT_FALSE(soil.failure());
        EXPECT_EQ(soil.unit(), "% v/v");
        EXPECT_EQ(soil.texture(), TextureClass::clayLoam);
        for (const Result result : {Result::fc, Result::pwp, Result::awc}) {
            const std::string text = soil.text(result);
            EXPECT_EQ(text, c.results[static_cast<std::size_t>(result)]);
            EXPECT_EQ((*soil.numbers())[static_cast<std::size_t>(result)],
                      std::strtod(text.c_str(), nullptr));
        }
    }
}

// USDA silt 40 % (2-50 um) holds 40 ln 10 / ln 25 = 28.6135311614679 % below 20 um; the rest,
// 11.3864688385321 %, joins sand: 51.3864688385321 %. Results reckoned by hand from those.
TEST(UsdaScaleTest, SoilsAreEstimatedAsConverted) {
    const ParticleSizes converted = internationalFromUsda({40, 40, 20});
    EXPECT_NEAR(converted.silt, 28.6135311614679, 1e-12);
    EXPECT_NEAR(converted.sand, 51.3864688385321, 1e-12);
    EXPECT_EQ(converted.clay, 20);
    EXPECT_EQ(converted.silt, 40 * 0.7153382790366965);
    EXPECT_EQ(converted.sand, 40 + (40 - converted.silt));

    struct Case {
        int model;
        InputTexts texts;
        std::array<const char*, 3> results; // empty: failed
        const char* failure;
    };
    const std::vector<Case> cases{
        {6, {"40", "40", "20", ""}, {"23.72", "11.12", "28.17"}, ""},
        {3, {"40", "40", "20", ""}, {"24.32", "13.12", "16.79"}, ""},
        {4, {"40", "40", "20", ""}, {"31.89", "10.97", "31.38"}, ""},
        // Sand on the models' scale needs silt, even where the model reads no silt.
        {4, {"40", "x", "20", ""}, {}, "Type mismatch: silt"},
        {4, {"1.7e308", "1e308", "20", ""}, {}, "Overflow: sand"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        const SoilEstimate soil =
            estimateSoil(ModelCatalogue[static_cast<std::size_t>(c.model)], c.texts,
                         DecimalSeparator{}, Precision::fixed, ParticleSizeScale::usda);
        EXPECT_TRUE(soil.flags().contains(Flag::psd));
        EXPECT_EQ(soil.scale(), ParticleSizeScale::usda);
        if (*c.failure != '\0') {
            ASSERT_TRUE(soil.failure());
            EXPECT_EQ(failureText(*soil.failure()), c.failure);
            continue;
        }
        ASSERT_FALSE(soil.failure());
        EXPECT_EQ(soil.texture(), TextureClass::loam); // USDA loam as given
        EXPECT_FALSE(soil.flags().contains(Flag::sum));
        for (const Result result : {Result::fc, Result::pwp, Result::awc}) {
            EXPECT_EQ(soil.text(result), c.results[static_cast<std::size_t>(result)]);
        }
    }
    // On the international scale nothing changes, and Singh's model reads no silt.
    const SoilEstimate international =
        estimateSoil(ModelCatalogue[4], InputTexts{"40", "x", "20", ""}, DecimalSeparator{},
                     Precision::fixed, ParticleSizeScale::international);
    EXPECT_FALSE(international.failure());
    EXPECT_FALSE(international.flags().contains(Flag::psd));
}

TEST(UsdaScaleTest, ScaleNames) {
    for (const ParticleSizeScale scale : allParticleSizeScales) {
        EXPECT_EQ(particleSizeScale(name(scale)), scale);
    }
    EXPECT_EQ(particleSizeScale("USDA"), std::nullopt);
    EXPECT_EQ(code(Flag::psd), "psd");
}

// A PWP that rounds below the double range in 15 digits lies below FC: no fc<=pwp flag.
TEST(SoilEstimateTest, AnOverflowBelowTheRangeIsNoFlagOfPwpAboveFc) {
    const SoilEstimate soil = estimateSoil(
        ModelCatalogue[0], inputNumbers(3.1538475837248345e301, NoNumber, 1e10, NoNumber),
        Precision::fixed);
    ASSERT_TRUE(soil.failure());
    EXPECT_EQ(soil.failure()->kind, FailureKind::overflow);
    EXPECT_FALSE(soil.flags().contains(Flag::pwpNotBelowFc));
    EXPECT_TRUE(soil.flags().contains(Flag::result));
}

} // namespace
} // namespace talvo::estimation
