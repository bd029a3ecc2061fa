#include "estimation/estimation.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace talvo::estimation {
namespace {

constexpr int Talvo = 1;
constexpr int Rawls = 2;
constexpr int Singh = 4;
constexpr int Chakraborty = 6;

// The domain flag of one soil by every path a front end may take: the exact path, the
// two-decimal quick path, and columns in lanes (and their tail, soil by soil). All must agree.
std::vector<bool> domainByEveryPath(const PtfModel& model, const std::array<double, 4>& soil) {
    const InputValues inputs = inputNumbers(soil[0], soil[1], soil[2], soil[3]);
    std::vector<bool> out;
    for (const Precision precision : {Precision::general, Precision::fixed}) {
        out.push_back(estimateSoil(model, inputs, precision).flags().contains(Flag::domain));
    }
    constexpr std::size_t Count = 17; // two lanes of 8 and one soil after them
    std::vector<double> fc(Count);
    std::vector<double> pwp(Count);
    std::vector<double> awc(Count);
    std::vector<std::uint16_t> flags(Count);
    std::vector<std::uint8_t> texture(Count);
    std::vector<std::uint8_t> failure(Count);
    std::array<std::vector<double>, 4> columns;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        columns[i].assign(Count, soil[i]);
    }
    const SoilColumns soils{{columns[0], columns[1], columns[2], columns[3]}, Count};
    SoilEstimator(model, Precision::fixed)
        .estimate(soils, {fc.data(), pwp.data(), awc.data(), flags.data(), texture.data(),
                          failure.data()});
    out.push_back(Flags(flags.front()).contains(Flag::domain));
    out.push_back(Flags(flags.back()).contains(Flag::domain));
    return out;
}

// Each bound of each published range: on it is inside, just past it outside. Rawls et al.
// read OC in %, and their organic matter is OC x 1.724; Chakraborty et al. read no carbon,
// so a soil is judged on it only where it is given.
TEST(CalibrationDomain, BoundsAreInsideAndBeyondThemIsOutside) {
    struct Case {
        const char* what;
        int model;
        std::array<double, 4> soil; // sand, silt, clay, oc
        bool outside;
    };
    const double omLow = 0.1 / OrganicMatterPerCarbon;   // OM 0.1 %, as a table's om becomes OC
    const double omHigh = 12.5 / OrganicMatterPerCarbon; // OM 12.5 %
    const auto above = [](double x) { return std::nextafter(x, 100.0); };
    // clang-format off
    const std::array<Case, 24> cases{{
        {"Rawls: loam", Rawls, {40, 40, 20, 1}, false},
        {"Rawls: sand on 0.1", Rawls, {0.1, 79.9, 20, 1}, false},
        {"Rawls: sand 0", Rawls, {0, 80, 20, 1}, true},
        {"Rawls: sand on 99", Rawls, {99, 0.5, 0.5, 1}, false},
        {"Rawls: sand 99.01", Rawls, {99.01, 0.49, 0.5, 1}, true},
        {"Rawls: clay on 0.1", Rawls, {60, 39.9, 0.1, 1}, false},
        {"Rawls: clay 0.09", Rawls, {60, 39.91, 0.09, 1}, true},
        {"Rawls: clay on 94", Rawls, {3, 3, 94, 1}, false},
        {"Rawls: clay 94.5", Rawls, {3, 2.5, 94.5, 1}, true},
        {"Rawls: OM on 0.1 %", Rawls, {40, 40, 20, omLow}, false},
        {"Rawls: OC 0.05 %, OM 0.086 %", Rawls, {40, 40, 20, 0.05}, true},
        {"Rawls: OM on 12.5 %", Rawls, {40, 40, 20, omHigh}, false},
        {"Rawls: OM just above 12.5 %", Rawls, {40, 40, 20, above(omHigh)}, true},
        {"Rawls: OC 7.25 %, OM 12.499 %", Rawls, {40, 40, 20, 7.25}, false},
        {"Chakraborty: OC 5 g/kg", Chakraborty, {40, 40, 20, 5}, false},
        {"Chakraborty: OC on 0.2", Chakraborty, {40, 40, 20, 0.2}, false},
        {"Chakraborty: OC 0.19", Chakraborty, {40, 40, 20, 0.19}, true},
        {"Chakraborty: OC on 11.8", Chakraborty, {40, 40, 20, 11.8}, false},
        {"Chakraborty: OC 11.81", Chakraborty, {40, 40, 20, 11.81}, true},
        {"Chakraborty: no OC given", Chakraborty, {40, 40, 20, NoNumber}, false},
        {"Chakraborty: OC beyond the double range is none", Chakraborty,
         {40, 40, 20, std::numeric_limits<double>::infinity()}, false},
        {"Chakraborty: no range of sand", Chakraborty, {0, 80, 20, 5}, false},
        {"TALVO (PSD + OC): none published", Talvo, {0, 0, 100, 150}, false},
        {"Singh: none published", Singh, {0, 0, 100, 150}, false},
    }};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(domainByEveryPath(*modelAt(c.model), c.soil), std::vector<bool>(4, c.outside));
    }
}

// The flag describes, it never decides: an OC that is no number does not fail a model that
// does not read it, and the results are those of the soil without it.
TEST(CalibrationDomain, CarbonTheModelDoesNotReadNeverFailsIt) {
    const PtfModel& model = *modelAt(Chakraborty);
    const SoilEstimate without =
        estimateSoil(model, {"40", "40", "20", ""}, {}, Precision::general);
    for (const char* oc : {"", "n.d.", "5", "40"}) {
        SCOPED_TRACE(oc);
        const SoilEstimate given =
            estimateSoil(model, {"40", "40", "20", oc}, {}, Precision::general);
        ASSERT_FALSE(given.failure());
        EXPECT_EQ(given.flags().contains(Flag::domain), std::string(oc) == "40");
        for (const Result result : {Result::fc, Result::pwp, Result::awc}) {
            EXPECT_EQ(given.text(result, '.', Precision::general),
                      without.text(result, '.', Precision::general));
        }
    }
}

// Rasters and arrays store the bit: it must not move.
TEST(CalibrationDomain, FlagIsStable) {
    EXPECT_EQ(Flags::bit(Flag::domain), 256U);
    EXPECT_EQ(code(Flag::domain), "domain");
    EXPECT_EQ(allFlags.at(8), Flag::domain);
}

// Every front end shows these texts as the sheet's: each range with its source.
TEST(CalibrationDomain, SheetsListEachRangeWithItsSource) {
    EXPECT_EQ(calibrationText(modelSheet(*modelAt(Rawls)).calibration),
              "sand 0.1-99 % (Rawls et al., 1982); clay 0.1-94 % (Rawls et al., 1982); organic "
              "matter 0.1-12.5 %, as OC x 1.724 (Rawls et al., 1982)");
    EXPECT_EQ(calibrationText(modelSheet(*modelAt(Chakraborty)).calibration),
              "organic carbon 0.2-11.8 g/kg (Chakraborty et al., 2011)");
    for (const int position : {0, Talvo, 3, Singh, 5}) {
        EXPECT_EQ(calibrationText(modelSheet(*modelAt(position)).calibration), "not published");
    }
    // A carbon range is in the unit the model's carbon is given in, or it judges the wrong number.
    for (const PtfModel& model : ModelCatalogue) {
        for (const CalibrationRange& range : modelSheet(model).calibration) {
            if (range.quantity == DomainQuantity::oc ||
                range.quantity == DomainQuantity::organicMatter) {
                EXPECT_EQ(range.unit, name(modelCarbonUnit(model))) << model.listText;
            }
        }
    }
}

// Ranges of models outside the catalogue: a maximum alone, and a bulk density.
TEST(CalibrationDomain, OneSidedRangesAndBulkDensity) {
    constexpr double Unbounded = std::numeric_limits<double>::infinity();
    const std::array<CalibrationRange, 2> ranges{{
        {DomainQuantity::clay, -Unbounded, 60, "%", "Source A"},
        {DomainQuantity::bulkDensity, 1.0, 1.8, "g/cm3", "Source A"},
    }};
    EXPECT_EQ(calibrationText(ranges),
              "clay up to 60 % (Source A); bulk density 1-1.8 g/cm3 (Source A)");
    struct Case {
        double clay, density;
        bool outside;
    };
    const std::array<Case, 6> cases{{
        {60, 1.8, false},
        {60.5, 1.4, true},
        {0, 1.0, false},
        {20, 0.99, true},
        {20, 1.81, true},
        {NoNumber, NoNumber, false},
    }};
    for (const Case& c : cases) {
        DomainValues values{};
        values.fill(NoNumber);
        values[static_cast<std::size_t>(DomainQuantity::clay)] = c.clay;
        values[static_cast<std::size_t>(DomainQuantity::bulkDensity)] = c.density;
        EXPECT_EQ(outsideDomain(ranges, values), c.outside) << c.clay << " " << c.density;
    }
}

} // namespace
} // namespace talvo::estimation
