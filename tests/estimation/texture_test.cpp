#include "estimation/estimation.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace talvo::estimation {
namespace {

using T = TextureClass;

// Crossing number in (clay, silt): whether a point off every edge lies inside a class's
// polygon. Independent of how the classifier decides.
bool inside(T texture, double clay, double silt,
            ParticleSizeScale scale = ParticleSizeScale::international) {
    const auto polygon = outline(texture, scale);
    bool in = false;
    for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const TexturePoint& a = polygon[i];
        const TexturePoint& b = polygon[j];
        if ((a.silt > silt) != (b.silt > silt) &&
            clay < a.clay + (silt - a.silt) * (b.clay - a.clay) / (b.silt - a.silt)) {
            in = !in;
        }
    }
    return in;
}

// The one class whose polygon holds the point, or nothing when none or several do.
std::optional<T> soleOwner(double clay, double silt, ParticleSizeScale scale) {
    std::optional<T> owner;
    int owners = 0;
    for (T texture : textureClasses(scale)) {
        if (inside(texture, clay, silt, scale)) {
            owner = texture;
            ++owners;
        }
    }
    return owners == 1 ? owner : std::nullopt;
}

// Soils read off the triangle and its corners (the tiling test below holds every boundary to
// the rule); soils that do not sum to 100 are scaled, within 1.
TEST(TextureClass, SoilsAndTheirClasses) {
    struct Soil {
        double sand, silt, clay;
        std::optional<T> expected;
    };
    constexpr double infinity = std::numeric_limits<double>::infinity();
    // clang-format off
    const std::vector<Soil> soils{
        {10, 20, 70, T::heavyClay}, {0, 0, 100, T::heavyClay}, {60, 5, 35, T::sandyClay},
        {35, 30, 35, T::lightClay}, {5, 60, 35, T::siltyClay}, {70, 10, 20, T::sandyClayLoam},
        {45, 35, 20, T::clayLoam}, {20, 60, 20, T::siltyClayLoam}, {88, 7, 5, T::loamySand},
        {95, 3, 2, T::sand}, {100, 0, 0, T::sand}, {80, 10, 10, T::sandyLoam}, {50, 40, 10, T::loam},
        {20, 70, 10, T::siltLoam}, {0, 100, 0, T::siltLoam}, {33.3, 33.3, 33.4, T::lightClay},
        // corners
        {55, 0, 45, T::heavyClay}, {10, 45, 45, T::heavyClay}, {0, 55, 45, T::heavyClay},
        {75, 0, 25, T::sandyClay}, {55, 20, 25, T::lightClay}, {30, 45, 25, T::siltyClay},
        {0, 75, 25, T::siltyClay}, {85, 0, 15, T::sandyClayLoam}, {65, 20, 15, T::clayLoam},
        {40, 45, 15, T::siltyClayLoam}, {0, 85, 15, T::siltyClayLoam}, {95, 0, 5, T::loamySand},
        {85, 15, 0, T::sandyLoam}, {65, 35, 0, T::loam}, {55, 45, 0, T::siltLoam},
        // scaled
        {54.55, 30, 14.95, T::clayLoam}, // sum 99.5: clay 15.03 once scaled
        {70, 16, 15, T::sandyLoam},      // sum 101: clay 14.85 once scaled
        {49, 30, 20, T::clayLoam}, {0, 0, 99, T::heavyClay}, {99.5, 0.5, 0.5, T::sand},
        {0, 98.5, 1, T::siltLoam}, // scaled to a rounding error past the silt-clay side
        // no soil
        {48, 30, 20, std::nullopt}, {50, 31, 20.01, std::nullopt}, {49, 30, 19.99, std::nullopt},
        {80, 20.5, -0.5, std::nullopt}, {100.5, 0, 0, std::nullopt}, {NoNumber, 50, 50, std::nullopt},
        {50, NoNumber, 50, std::nullopt}, {50, 50, infinity, std::nullopt}, {0, 0, 0, std::nullopt},
    };
    // clang-format on
    for (const Soil& soil : soils) {
        EXPECT_EQ(textureClass(soil.sand, soil.silt, soil.clay), soil.expected)
            << "sand " << soil.sand << ", silt " << soil.silt << ", clay " << soil.clay;
    }
}

// Every grid point is classified as the rule says: by the one polygon that holds the soils
// with a little more clay and, at equal clay, a little more silt (on the silt-clay side,
// where that leaves the triangle: a little more clay at the cost of silt). Exactly one polygon
// must hold each of those nearby soils, so the classes neither overlap nor leave gaps.
// The USDA classes as the Soil Survey Manual words their limits, tried in its order.
T manualClass(double sand, double silt, double clay) {
    if (silt + 1.5 * clay < 15) {
        return T::sand;
    }
    if (silt + 2 * clay < 30) {
        return T::loamySand;
    }
    if ((clay >= 7 && clay < 20 && sand > 52) || (clay < 7 && silt < 50)) {
        return T::sandyLoam;
    }
    if (clay >= 7 && clay < 27 && silt >= 28 && silt < 50 && sand <= 52) {
        return T::loam;
    }
    if ((silt >= 50 && clay >= 12 && clay < 27) || (silt >= 50 && silt < 80 && clay < 12)) {
        return T::siltLoam;
    }
    if (silt >= 80 && clay < 12) {
        return T::silt;
    }
    if (clay >= 20 && clay < 35 && silt < 28 && sand > 45) {
        return T::sandyClayLoam;
    }
    if (clay >= 27 && clay < 40 && sand > 20 && sand <= 45) {
        return T::clayLoam;
    }
    if (clay >= 27 && clay < 40 && sand <= 20) {
        return T::siltyClayLoam;
    }
    if (clay >= 35 && sand > 45) {
        return T::sandyClay;
    }
    return silt >= 40 ? T::siltyClay : T::clay;
}

// Every point of a fine grid, boundaries and corners included, as the manual's words put it.
TEST(UsdaTexture, FollowsTheManualsLimits) {
    constexpr int steps = 400; // of 0.25: exact in binary, and on every limit
    for (int i = 0; i <= steps; ++i) {
        for (int j = 0; i + j <= steps; ++j) {
            const double clay = i * 0.25;
            const double silt = j * 0.25;
            const double sand = 100 - clay - silt;
            ASSERT_EQ(textureClass(sand, silt, clay, ParticleSizeScale::usda),
                      manualClass(sand, silt, clay))
                << "sand " << sand << ", silt " << silt << ", clay " << clay;
        }
    }
}

// Soils well inside each class, and the published corners, as the triangle shows them.
TEST(UsdaTexture, SoilsAndTheirClasses) {
    struct Soil {
        double sand, silt, clay;
        std::optional<T> expected;
    };
    // clang-format off
    const std::vector<Soil> soils{
        {93, 4, 3, T::sand}, {82, 12, 6, T::loamySand}, {65, 25, 10, T::sandyLoam},
        {40, 40, 20, T::loam}, {20, 65, 15, T::siltLoam}, {5, 90, 5, T::silt},
        {60, 12, 28, T::sandyClayLoam}, {32, 34, 34, T::clayLoam}, {10, 57, 33, T::siltyClayLoam},
        {52, 6, 42, T::sandyClay}, {5, 45, 50, T::siltyClay}, {20, 20, 60, T::clay},
        // corners, each to the class the manual's limits give it
        {100, 0, 0, T::sand}, {85, 15, 0, T::loamySand}, {90, 0, 10, T::loamySand},
        {70, 30, 0, T::sandyLoam}, {85, 0, 15, T::sandyLoam}, {50, 50, 0, T::siltLoam},
        {80, 0, 20, T::sandyClayLoam}, {52, 41, 7, T::loam}, {43, 50, 7, T::siltLoam},
        {52, 28, 20, T::loam}, {45, 28, 27, T::clayLoam}, {23, 50, 27, T::clayLoam},
        {20, 80, 0, T::silt}, {8, 80, 12, T::siltLoam}, {0, 88, 12, T::siltLoam},
        {0, 73, 27, T::siltyClayLoam}, {20, 53, 27, T::siltyClayLoam}, {65, 0, 35, T::sandyClay},
        {45, 20, 35, T::clayLoam}, {45, 15, 40, T::clay}, {20, 40, 40, T::siltyClay},
        {0, 60, 40, T::siltyClay}, {45, 0, 55, T::clay}, {0, 40, 60, T::siltyClay},
        {0, 0, 100, T::clay}, {0, 100, 0, T::silt},
        // scaled within 1, and no soil
        {70, 16, 15, T::sandyLoam}, {48, 30, 20, std::nullopt},
        {-0.5, 50.5, 50, std::nullopt},
    };
    // clang-format on
    for (const Soil& soil : soils) {
        EXPECT_EQ(textureClass(soil.sand, soil.silt, soil.clay, ParticleSizeScale::usda),
                  soil.expected)
            << "sand " << soil.sand << ", silt " << soil.silt << ", clay " << soil.clay;
    }
}

TEST(UsdaTexture, NamesAsTheManualWritesThem) {
    std::vector<std::string> names;
    for (const T texture : textureClasses(ParticleSizeScale::usda)) {
        names.emplace_back(name(texture));
    }
    const std::vector<std::string> expected{
        "sandy clay", "silty clay", "sandy clay loam", "clay loam", "silty clay loam",
        "loamy sand", "sand",       "sandy loam",      "loam",      "silt loam",
        "silt",       "clay"};
    EXPECT_EQ(names, expected);
}

class OnEachTriangle : public testing::TestWithParam<ParticleSizeScale> {};

TEST_P(OnEachTriangle, TheClassesTileTheTriangle) {
    const ParticleSizeScale scale = GetParam();
    constexpr int steps = 800; // of 0.125: exact in binary
    constexpr double nudge = 1e-4;
    int points = 0;
    for (int i = 0; i < steps; ++i) {
        for (int j = 0; i + j <= steps; ++j) {
            const double clay = i * 0.125;
            const double silt = j * 0.125;
            const bool onSiltClaySide = clay + silt == 100;
            const double nearClay = clay + nudge;
            const double nearSilt =
                onSiltClaySide ? silt - nudge - nudge * nudge : silt + nudge * nudge;
            std::optional<T> owner = soleOwner(nearClay, nearSilt, scale);
            ASSERT_TRUE(owner.has_value()) << "clay " << clay << ", silt " << silt;
            // Where silty clay's "40 % or more silt" meets the side, the manual's words win.
            if (scale == ParticleSizeScale::usda && clay == 60 && silt == 40) {
                owner = T::siltyClay;
            }
            ASSERT_EQ(textureClass(100 - clay - silt, silt, clay, scale), owner)
                << "clay " << clay << ", silt " << silt;
            ++points;
        }
    }
    EXPECT_EQ(points, 321200);
}

TEST_P(OnEachTriangle, LabelPointLiesInsideItsClass) {
    const ParticleSizeScale scale = GetParam();
    ASSERT_EQ(textureClasses(scale).size(), 12U);
    for (T texture : textureClasses(scale)) {
        SCOPED_TRACE(std::string(name(texture)));
        const TexturePoint label = labelPoint(texture, scale);
        EXPECT_NEAR(label.sand + label.silt + label.clay, 100, 1e-9);
        EXPECT_TRUE(inside(texture, label.clay, label.silt, scale));
        EXPECT_EQ(textureClass(label.sand, label.silt, label.clay, scale), texture);
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, OnEachTriangle,
                         testing::Values(ParticleSizeScale::international, ParticleSizeScale::usda),
                         [](const testing::TestParamInfo<ParticleSizeScale>& scale) {
                             return std::string(name(scale.param));
                         });

} // namespace
} // namespace talvo::estimation
