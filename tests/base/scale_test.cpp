// Inputs read at a decimal scale: the text is scaled as a decimal, so each reads to the double
// of the text a user would have typed in percent.

#include "base/scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace talvo::base {
namespace {

TEST(DecimalScaleRead, ScalesTheTextExactly) {
    struct Case {
        const char* text;
        DecimalScale scale;
        double expected;
    };
    const DecimalScale hundred{100, 0};
    const DecimalScale tenth{1, 1};
    const std::vector<Case> cases{
        {"0.07", hundred, 7},
        {"0.4", hundred, 40},
        {"0.333", hundred, 33.3},
        {"523", tenth, 52.3},
        {"52.35", tenth, 5.235},
        {"1000", tenth, 100},
        {" 0.4", hundred, 40},
        {"-0.07", hundred, -7},
        {"4e-1", hundred, 40},
        {"523", {25, 1}, 1307.5},
        {"0,4", hundred, 40}, // the separator as given
        {"123456789012345", tenth, 12345678901234.5},
    };
    for (const Case& c : cases) {
        const estimation::DecimalSeparator separator(c.text[1] == ',' ? ',' : '.');
        const estimation::InputValue value = c.scale.read(c.text, separator);
        EXPECT_FALSE(value.failure) << c.text;
        EXPECT_EQ(value.number, c.expected) << c.text;
    }
}

TEST(DecimalScaleRead, NoNumberStaysNone) {
    for (const char* text : {"", "x", "n.d."}) {
        const estimation::InputValue value = DecimalScale{100, 0}.read(text, {});
        EXPECT_EQ(value.failure, estimation::FailureKind::typeMismatch) << text;
        EXPECT_TRUE(std::isnan(value.number));
    }
}

} // namespace
} // namespace talvo::base
