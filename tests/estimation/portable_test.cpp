// The stand-ins for what the browser's C++ library lacks give the standard library's texts and
// numbers. Natively they are held against the standard library itself, digit for digit; in
// every build against known answers and against digests of the standard library's output, so
// that the browser's build shows the same bits as the native one.

#include "estimation/detail/catalogue.h"
#include "estimation/detail/portable.h"
#include "estimation/estimation.h"

#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace talvo::estimation {
namespace {

using namespace detail; // NOLINT(google-build-using-namespace): the engine's own tests

constexpr double largest = std::numeric_limits<double>::max();
constexpr double smallestNormal = std::numeric_limits<double>::min();
constexpr double tiniest = std::numeric_limits<double>::denorm_min();
constexpr float largestFloat = std::numeric_limits<float>::max();
constexpr float tiniestFloat = std::numeric_limits<float>::denorm_min();

#ifdef TALVO_EXHAUSTIVE_TESTS
constexpr int RandomCount = 2'000'000;
#else
constexpr int RandomCount = 40'000;
#endif
constexpr int DigestCount = 40'000; // the same in every build: the digests below are of these

using Text = std::array<char, 64>;

std::string scientific(double value, int precision) {
    Text text{};
    const auto [end, ec] = toScientific(text.data(), text.data() + text.size(), value, precision);
    EXPECT_EQ(ec, std::errc{});
    return {text.data(), end};
}

std::string shortest(float value) {
    Text text{};
    const auto [end, ec] = toScientific(text.data(), text.data() + text.size(), value);
    EXPECT_EQ(ec, std::errc{});
    return {text.data(), end};
}

// The doubles whose texts differ most easily: zeros, the ends of the range, the subnormals,
// the powers of two (uneven neighbours) and ties beyond the 15th digit.
std::vector<double> edgeDoubles() {
    std::vector<double> values{0.0,
                               -0.0,
                               tiniest,
                               -tiniest,
                               2 * tiniest,
                               std::nextafter(smallestNormal, 0.0),
                               smallestNormal,
                               largest,
                               -largest,
                               std::nextafter(largest, 0.0),
                               0.1,
                               1e23,
                               9.9999999999999995e-5,
                               1234567890123455.0,
                               1234567890123445.0,
                               100000000000000.5,
                               0.5,
                               2.5,
                               5e-324,
                               2.2250738585072011e-308};
    for (int exponent = -1074; exponent <= 1023; ++exponent) {
        const double power = std::ldexp(1.0, exponent);
        values.insert(values.end(), {power, std::nextafter(power, 0.0), -power});
    }
    return values;
}

std::vector<float> edgeFloats() {
    std::vector<float> values{0.0F,
                              -0.0F,
                              tiniestFloat,
                              -tiniestFloat,
                              std::nextafter(std::numeric_limits<float>::min(), 0.0F),
                              std::numeric_limits<float>::min(),
                              largestFloat,
                              -largestFloat,
                              52.3F,
                              0.1F,
                              1e-45F,
                              3.4028235e38F,
                              16777216.0F,
                              16777215.0F,
                              1073741824.0F};
    for (int exponent = -149; exponent <= 127; ++exponent) {
        const float power = std::ldexp(1.0F, exponent);
        values.insert(values.end(), {power, std::nextafter(power, 0.0F),
                                     std::nextafter(power, largestFloat), -power});
    }
    return values;
}

// Random bit patterns from the engine both builds share (mt19937_64 is specified to the bit;
// the distributions are not).
template <typename Value, typename Bits>
std::vector<Value> randomFinite(std::uint64_t seed, int count = RandomCount) {
    std::mt19937_64 random(seed);
    std::vector<Value> values;
    while (values.size() < static_cast<std::size_t>(count)) {
        const auto value = bitCast<Value>(static_cast<Bits>(random() >> (64 - 8 * sizeof(Bits))));
        if (std::isfinite(value)) {
            values.push_back(value);
        }
    }
    return values;
}

// FNV-1a over everything a build wrote.
class Digest {
public:
    void add(std::string_view text) {
        for (const char c : text) {
            m_hash = (m_hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
        }
        m_hash = (m_hash ^ 0xffU) * 0x100000001b3ULL; // between texts
    }
    // Every bit, but a NaN's: processors differ in those, and no result shows them.
    void add(double value) {
        add(std::isnan(value) ? "nan" : std::to_string(bitCast<std::uint64_t>(value)));
    }
    std::uint64_t value() const { return m_hash; }

private:
    std::uint64_t m_hash = 0xcbf29ce484222325ULL;
};

std::vector<std::string> textsToRead() {
    std::vector<std::string> texts{
        // ends of the range, rounding into and out of it
        "1.7976931348623157e308", "1.7976931348623158e308", "1.7976931348623159e308", "1e309",
        "-1e309", "4.9406564584124654e-324", "2.4703282292062328e-324", "2.4703282292062327e-324",
        "1e-400", "2.2250738585072011e-308", "2.2250738585072012e-308",
        // ties on the exact binary value, and one digit past them far away
        "9007199254740993", "9007199254740993.00000000000000000000000000000000000001",
        "9007199254740995", "0.1", "1e23", "8.5e-323",
        // zeros and forms from_chars takes
        "0", "-0", "-0.0e5", "0e999999", "0.000000000e-999999", "123.", ".5", "-.5e-3", "1E5",
        "00012", "1e+0000000000000000000000000000000000000000000000000000000000000000000002",
        // what it stops before or refuses
        "1e", "1e+", "1.5x", "1..2", "", "-", ".", "-.", "e5", "+1", " 1",
        std::string(800, '9') + "e-700", "0." + std::string(400, '0') + "1"};
    for (const double value : edgeDoubles()) {
        texts.push_back(scientific(value, 14));
        texts.push_back(scientific(value, 16));
    }
    return texts;
}

// The double a text reads as, or what went wrong, and how much of it was read.
std::string readResult(std::string_view text) {
    double value = -1.5; // stays where the text is refused
    const auto [end, ec] = fromChars(text.data(), text.data() + text.size(), value);
    // By name: the numbers of the errors differ between C libraries.
    const char* const error = ec == std::errc{}                      ? "read"
                              : ec == std::errc::result_out_of_range ? "out of range"
                                                                     : "refused";
    return std::to_string(end - text.data()) + " " + error + " " +
           std::to_string(bitCast<std::uint64_t>(value));
}

TEST(Portable, BitCastKeepsEveryBit) {
    EXPECT_EQ(bitCast<std::uint64_t>(-0.0), 0x8000000000000000ULL);
    EXPECT_EQ(bitCast<std::uint64_t>(tiniest), 1U);
    EXPECT_EQ(bitCast<std::uint32_t>(largestFloat), 0x7f7fffffU);
    static_assert(bitCast<double>(0x3ff0000000000000ULL) == 1.0, "usable in constants");
}

struct ReadCase {
    std::string_view text;
    double value;
};

// Known answers, in both builds: the halfway cases the C library's readers have got wrong.
TEST(Portable, ReadsTheNearestDouble) {
    const std::array<ReadCase, 9> cases{{
        {"9007199254740993", 9007199254740992.0},
        {"9007199254740993.0000000000000000000001", 9007199254740994.0},
        {"2.4703282292062328e-324", tiniest},
        {"1.7976931348623158e308", largest},
        {"2.2250738585072011e-308", std::nextafter(smallestNormal, 0.0)},
        {"0.1", 0.1},
        {"-0", -0.0},
        {"1e23", 1e23},
        {"1.00000000000000011102230246251565404236316680908203125", 1.0},
    }};
    for (const ReadCase& c : cases) {
        double value = 0;
        const auto [end, ec] = fromChars(c.text.data(), c.text.data() + c.text.size(), value);
        EXPECT_EQ(ec, std::errc{}) << c.text;
        EXPECT_EQ(end, c.text.data() + c.text.size()) << c.text;
        EXPECT_EQ(bitCast<std::uint64_t>(value), bitCast<std::uint64_t>(c.value)) << c.text;
    }
}

TEST(Portable, OutOfRangeLeavesTheValue) {
    for (const std::string_view text : {"1e309", "-1.8e308", "1e-400", "2.4703282292062327e-324"}) {
        double value = 7;
        EXPECT_EQ(fromChars(text.data(), text.data() + text.size(), value).ec,
                  std::errc::result_out_of_range)
            << text;
        EXPECT_EQ(value, 7) << text;
    }
}

struct FloatCase {
    float single;
    double value;
};

TEST(Portable, AFloatStandsForItsShortestText) {
    const std::array<FloatCase, 8> cases{{
        {52.3F, 52.3},
        {0.1F, 0.1},
        {-0.0F, -0.0},
        {tiniestFloat, 1e-45},
        {largestFloat, 3.4028235e38},
        {std::numeric_limits<float>::min(), 1.1754944e-38},
        {16777217.0F, 16777216.0},
        {std::ldexp(1.0F, 100), 1.2676506e30},
    }};
    for (const FloatCase& c : cases) {
        EXPECT_EQ(bitCast<std::uint64_t>(floatAsText(c.single)), bitCast<std::uint64_t>(c.value))
            << c.value;
    }
    EXPECT_TRUE(std::isnan(floatAsText(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_EQ(floatAsText(-std::numeric_limits<float>::infinity()),
              -std::numeric_limits<double>::infinity());
}

// The cache's slot of a float, as RecentFloatTexts computes it (4096 slots).
std::uint32_t slotOf(float single) {
    return (bitCast<std::uint32_t>(single) * 2654435761U) >> (32U - 12U);
}

// The next float after `single`, by its bits, that is no NaN and shares its slot.
float collidingWith(float single) {
    for (std::uint32_t bits = bitCast<std::uint32_t>(single) + 1;; ++bits) {
        const auto other = bitCast<float>(bits);
        if (!std::isnan(other) && slotOf(other) == slotOf(single)) {
            return other;
        }
    }
}

// Two floats in one slot take it in turn: each gets its own text back, never the other's.
TEST(Portable, RecentFloatTextsReplaceASlotsFloat) {
    const std::array<float, 5> firsts{52.3F, 0.1F, -0.0F, tiniestFloat,
                                      std::numeric_limits<float>::infinity()};
    RecentFloatTexts texts;
    for (const float first : firsts) {
        const float second = collidingWith(first);
        ASSERT_EQ(slotOf(first), slotOf(second)) << first;
        for (int round = 0; round < 3; ++round) {
            for (const float single : {first, second, second, first}) {
                EXPECT_EQ(bitCast<std::uint64_t>(texts.of(single)),
                          bitCast<std::uint64_t>(floatAsText(single)))
                    << first << " and " << second << ", now " << single;
            }
        }
    }
}

TEST(Portable, ShortOutputIsRefused) {
    std::array<char, 4> text{};
    EXPECT_EQ(portable::toScientific(text.data(), text.data() + text.size(), 52.3F).ec,
              std::errc::value_too_large);
    EXPECT_EQ(portable::toScientific(text.data(), text.data() + text.size(), 52.3, 14).ec,
              std::errc::value_too_large);
}

// Every 17-digit text reads back to its double, whatever the build.
TEST(Portable, SeventeenDigitsReadBack) {
    for (const double value : randomFinite<double, std::uint64_t>(17)) {
        const std::string text = scientific(value, 16);
        double back = 0;
        fromChars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(bitCast<std::uint64_t>(back), bitCast<std::uint64_t>(value)) << text;
    }
}

// Digests of what the standard library writes and reads natively: the browser's build must
// reach the same. A change to the sets of numbers below changes them: recompute natively,
// where the test further down holds each text against the standard library.
TEST(Portable, TextsAreTheNativeBuilds) {
    Digest doubles;
    for (const double value : edgeDoubles()) {
        doubles.add(scientific(value, 14));
    }
    for (const double value : randomFinite<double, std::uint64_t>(1507, DigestCount)) {
        doubles.add(scientific(value, 14));
    }
    Digest floats;
    for (const float value : edgeFloats()) {
        floats.add(shortest(value));
        floats.add(floatAsText(value));
    }
    for (const float value : randomFinite<float, std::uint32_t>(52, DigestCount)) {
        floats.add(shortest(value));
        floats.add(floatAsText(value));
    }
    Digest reads;
    for (const std::string& text : textsToRead()) {
        reads.add(readResult(text));
    }
    EXPECT_EQ(doubles.value(), 9956270410356964677U);
    EXPECT_EQ(floats.value(), 6175619633756894865U);
    EXPECT_EQ(reads.value(), 2361384969447159461U);
}

// A soil column of every kind, the same in every build: contents in hundredths around and
// beyond 0 to 100, no numbers, large integers and powers of two from tiny to huge.
std::vector<double> soilColumn(std::mt19937_64& random, std::size_t count) {
    std::vector<double> values(count);
    for (double& value : values) {
        const std::uint64_t r = random();
        const std::uint64_t rest = r >> 8U;
        switch (r % 20) {
        case 0:
            value = std::numeric_limits<double>::quiet_NaN();
            break;
        case 1:
            value = static_cast<double>(rest >> 4U);
            break;
        case 2:
            value = std::ldexp(1.0, static_cast<int>(rest % 2000) - 1000);
            break;
        default:
            value = static_cast<double>(rest % 12'001) / 100 - 10;
        }
    }
    return values;
}

// What the product promises: every model's results, in both precisions, to the bit as the
// native build gives them. The digest is the native build's: a change meant to alter results
// takes its new value from there.
TEST(Portable, EstimatesAreTheNativeBuilds) {
    constexpr std::size_t Count = 4'000;
    std::mt19937_64 random(40);
    std::array<std::vector<double>, 4> inputs;
    for (std::vector<double>& input : inputs) {
        input = soilColumn(random, Count);
    }
    const SoilColumns soils{{inputs[0], inputs[1], inputs[2], inputs[3]}, Count};
    std::vector<double> fc(Count);
    std::vector<double> pwp(Count);
    std::vector<double> awc(Count);
    std::vector<std::uint16_t> flags(Count);
    std::vector<std::uint8_t> texture(Count);
    std::vector<std::uint8_t> failure(Count);
    Digest digest;
    for (const PtfModel& model : ModelCatalogue) {
        for (const Precision precision : {Precision::fixed, Precision::general}) {
            SoilEstimator(model, precision)
                .estimate(soils, {fc.data(), pwp.data(), awc.data(), flags.data(), texture.data(),
                                  failure.data()});
            for (std::size_t i = 0; i < Count; ++i) {
                digest.add(fc[i]);
                digest.add(pwp[i]);
                digest.add(awc[i]);
                digest.add(std::to_string(flags[i]) + " " + std::to_string(texture[i]) + " " +
                           std::to_string(failure[i]));
            }
        }
    }
    EXPECT_EQ(digest.value(), 14068339572832447050U);
}

#if defined(__cpp_lib_to_chars)

// Natively, where the engine takes the standard library's own: the stand-ins against it.

TEST(Portable, ScientificDoublesAreTheStandards) {
    std::vector<double> values = edgeDoubles();
    const std::vector<double> random = randomFinite<double, std::uint64_t>(1507);
    values.insert(values.end(), random.begin(), random.end());
    for (const double value : values) {
        for (const int precision : {0, 6, 14, 16, 20}) {
            Text mine{};
            Text standard{};
            const auto written =
                portable::toScientific(mine.data(), mine.data() + mine.size(), value, precision);
            const auto expected = std::to_chars(standard.data(), standard.data() + standard.size(),
                                                value, std::chars_format::scientific, precision);
            ASSERT_EQ(std::string_view(mine.data(), written.ptr),
                      std::string_view(standard.data(), expected.ptr));
        }
    }
}

TEST(Portable, ShortestFloatsAreTheStandards) {
    std::vector<float> values = edgeFloats();
    const std::vector<float> random = randomFinite<float, std::uint32_t>(52);
    values.insert(values.end(), random.begin(), random.end());
    values.insert(values.end(),
                  {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                   std::numeric_limits<float>::quiet_NaN(),
                   -std::numeric_limits<float>::quiet_NaN()});
    for (const float value : values) {
        Text mine{};
        Text standard{};
        const auto written = portable::toScientific(mine.data(), mine.data() + mine.size(), value);
        const auto expected = std::to_chars(standard.data(), standard.data() + standard.size(),
                                            value, std::chars_format::scientific);
        ASSERT_EQ(std::string_view(mine.data(), written.ptr),
                  std::string_view(standard.data(), expected.ptr));
    }
}

// Texts a double's shortest, 15- and 17-digit forms take, and every edge of the grammar.
TEST(Portable, ReadsAsTheStandard) {
    std::vector<std::string> texts = textsToRead();
    for (const double value : randomFinite<double, std::uint64_t>(99)) {
        Text text{};
        auto* const end = std::to_chars(text.data(), text.data() + text.size(), value).ptr;
        texts.emplace_back(text.data(), end);
        texts.push_back(scientific(value, 14));
    }
    for (const std::string& text : texts) {
        double mine = -1.5;
        double standard = -1.5;
        const auto read = portable::fromChars(text.data(), text.data() + text.size(), mine);
        const auto expected = std::from_chars(text.data(), text.data() + text.size(), standard);
        ASSERT_EQ(read.ec, expected.ec) << text;
        ASSERT_EQ(read.ptr, expected.ptr) << text;
        ASSERT_EQ(bitCast<std::uint64_t>(mine), bitCast<std::uint64_t>(standard)) << text;
    }
}

#endif

} // namespace
} // namespace talvo::estimation
