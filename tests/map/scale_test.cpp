#include "map/error.h"
#include "map/scale.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>

namespace talvo::map {
namespace {

struct ScaleCase {
    std::string_view text;
    DecimalScale scale;
};

TEST(ScaleTest, ParsesDecimalsExactly) {
    const std::array cases{
        ScaleCase{"0.1", {1, 1}},     ScaleCase{"1", {1, 0}},
        ScaleCase{"10", {10, 0}},     ScaleCase{"0.010", {1, 2}},
        ScaleCase{"2.5e-3", {25, 4}}, ScaleCase{"1E1", {10, 0}},
        ScaleCase{"0.0001", {1, 4}},  ScaleCase{".5", {5, 1}},
        ScaleCase{"1e+2", {100, 0}},  ScaleCase{"123456789012345", {123456789012345, 0}},
    };
    for (const ScaleCase& c : cases) {
        EXPECT_EQ(parseScale(c.text), c.scale) << c.text;
    }
    // A band's own scale, through its shortest text.
    EXPECT_EQ(scaleFromDouble(0.1), (DecimalScale{1, 1}));
    EXPECT_EQ(scaleFromDouble(0.001), (DecimalScale{1, 3}));
    EXPECT_EQ(scaleFromDouble(2), (DecimalScale{2, 0}));
}

// The value a table row holding the same text would read to: 523 at 0.1 is 52.3, which
// 523 * 0.1 is not. Every int16 at a tenth, and a few other scales.
TEST(ScaleTest, GivesTheDoubleOfTheDecimalText) {
    const DecimalScale tenth = parseScale("0.1");
    for (int raw = -32768; raw <= 32767; ++raw) {
        const std::string text =
            std::to_string(raw / 10) + "." + std::to_string(std::abs(raw % 10));
        const double expected = (raw < 0 && raw > -10 ? -1 : 1) * std::stod(text);
        ASSERT_EQ(tenth.apply(raw), expected) << raw;
    }
    EXPECT_EQ(parseScale("0.01").apply(1234), 12.34);
    EXPECT_EQ(parseScale("2.5").apply(3), 7.5);
    EXPECT_EQ(parseScale("1").apply(0.1), 0.1);
}

TEST(ScaleTest, ParsesAListByInputName) {
    const ScaleSet scales = parseScaleList("sand=0.1,clay=0.01,oc=1");
    EXPECT_EQ(scales[0], (DecimalScale{1, 1}));
    EXPECT_FALSE(scales[1].has_value());
    EXPECT_EQ(scales[2], (DecimalScale{1, 2}));
    EXPECT_EQ(scales[3], (DecimalScale{1, 0}));
    EXPECT_EQ(soilGridsScales(), parseScaleList("sand=0.1,silt=0.1,clay=0.1,oc=0.1"));
}

TEST(ScaleTest, RefusesWhatIsNoPositiveDecimal) {
    for (const std::string_view text : {"", "0", "0.000", "-0.1", "0.1x", "1e", "e1", "0,1",
                                        "1234567890123456", "1e-23", "1e20", "nan", " 0.1"}) {
        EXPECT_THROW(parseScale(text), Error) << text;
    }
    for (const std::string_view text :
         {"sand", "sand=0.1,sand=0.2", "gravel=0.1", "sand=0.1,", "Sand=0.1", "sand=0"}) {
        EXPECT_THROW(parseScaleList(text), Error) << text;
    }
    EXPECT_THROW(scaleFromDouble(-0.1), Error);
}

} // namespace
} // namespace talvo::map
