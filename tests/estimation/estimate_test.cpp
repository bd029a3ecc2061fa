#include "estimation/actions.h"
#include "estimation/failure.h"
#include "support/memory_fields.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace talvo::estimation {
namespace {

using test::MemoryFields;

struct Captions {
    std::string fc, pwp, awc;
    friend bool operator==(const Captions&, const Captions&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Captions& c) {
        return out << '[' << c.fc << " | " << c.pwp << " | " << c.awc << ']';
    }
};

Captions captionsOf(const MemoryFields& fields) {
    return {fields.caption(Result::fc), fields.caption(Result::pwp), fields.caption(Result::awc)};
}

void setCaptions(MemoryFields& fields, const Captions& captions) {
    fields.setCaption(Result::fc, captions.fc);
    fields.setCaption(Result::pwp, captions.pwp);
    fields.setCaption(Result::awc, captions.awc);
}

TEST(EstimateAction, WorkedExamples) {
    struct Case {
        int model;
        const char *sand, *silt, *clay, *oc;
        Captions shown;
    };
    // Boxes a model does not read hold texts that are no numbers at all.
    const std::array<Case, 10> cases{{
        {2, "40", "x", "20", "5", {"50.85", "26.28", "36.86"}},
        {3, "x", "30", "20", "x", {"24.91", "13.33", "17.36"}},
        {6, "40", "40", "20", "", {"29.29", "12.84", "36.77"}},
        // AWC 39.915 is a double just below the half; the half is taken on its digits.
        {4, "40", "", "20", "?", {"37.58", "10.97", "39.92"}},
        {0, "40", "not read", "20", " ", {"23.38", "7.69", "35.09"}},
        {1, "40", " ", "20", "5", {"23.41", "6.84", "37.02"}},
        {5, "40", "40", "20", "abc", {"25.17", "9.51", "23.49"}},
        // Blanks around a number, as when typing after the box's initial blank.
        {2, " 40", "\t", "20 ", " \t5\t ", {"50.85", "26.28", "36.86"}},
        // Inputs are taken as entered: no range check, negative results shown as computed.
        {4, "200", "", "-10", "", {"-42.42", "-1.93", "-60.74"}},
        {2, "0", "", "0", "0", {"25.76", "2.60", "34.74"}},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        MemoryFields fields(c.model, c.sand, c.silt, c.clay, c.oc);
        EstimateAction(fields);
        EXPECT_EQ(captionsOf(fields), c.shown);
    }
}

TEST(EstimateAction, SecondPressAndFormattingPassChangeNothing) {
    MemoryFields fields(2, "40", " ", "20", "5");
    EstimateAction(fields);
    const Captions first = captionsOf(fields);
    EstimateAction(fields);
    EXPECT_EQ(captionsOf(fields), first);

    // With no model chosen only the formatting pass runs.
    fields.setModelIndex(-1);
    EstimateAction(fields);
    EXPECT_EQ(captionsOf(fields), first);
}

TEST(EstimateAction, NoModelChosenOnlyRewritesNumericCaptions) {
    for (int index : {-1, 7, 1000, -5}) {
        SCOPED_TRACE(index);
        MemoryFields fields(index, "x", "x", "x", "x");
        setCaptions(fields, {"50.8534", "", "12.835"});
        EstimateAction(fields);
        EXPECT_EQ(captionsOf(fields), (Captions{"50.85", "", "12.84"}));
        EXPECT_EQ(fields.inputReads(Input::oc), 0);
    }
}

TEST(EstimateAction, FailuresKeepWhatWasWrittenSoFar) {
    const Captions before{"old fc", "old pwp", "old awc"};
    constexpr auto mismatch = FailureKind::typeMismatch;
    constexpr auto overflow = FailureKind::overflow;
    constexpr auto byZero = FailureKind::divisionByZero;
    constexpr auto none = std::nullopt;
    struct Case {
        const char* what;
        int model;
        const char *sand, *silt, *clay, *oc;
        FailureKind kind;
        std::optional<Input> input;
        Captions after;
    };
    // clang-format off
    const std::vector<Case> cases{
        {"initial blank in clay", 0, "40", " ", " ", " ", mismatch, Input::clay, before},
        {"clay read only for PWP", 4, "40", " ", "twenty", " ", mismatch, Input::clay, {"37.58", "old pwp", "old awc"}},
        // FC = ((29.76823 - 10.5344) + 4.1194) + 0 x 0.01098
        {"OC of zero", 1, "40", " ", "20", "0", byZero, Input::oc, {"23.35323", "old pwp", "old awc"}},
        {"OC of minus zero", 1, "40", " ", "20", "-0", byZero, Input::oc, {"23.35323", "old pwp", "old awc"}},
        {"OC is converted before sand", 2, "x", " ", "20", "y", mismatch, Input::oc, before},
        {"OC product beyond the range, before sand is read", 2, "x", " ", "20", "1e308", overflow, none, before},
        {"number beyond the double range", 5, "1e999", " ", "20", " ", overflow, Input::sand, before},
        // FC and PWP are finite, their difference is not.
        {"available water beyond the range", 0, "-1.2e308", " ", "-2339", " ", overflow, none,
         {"3.16188e+307", "-1.553688e+308", "old awc"}},
        // AWC is finite, its 15-digit text lies beyond the range and would stay unformatted.
        {"available water beyond the range once written", 5, "-1.797e308", "-1e308", "-2.72547497913878e306", " ",
         overflow, none, {"1.18647e+308", "-1.19920899082106e+306", "1.79769313486232e+308"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryFields fields(c.model, c.sand, c.silt, c.clay, c.oc);
        setCaptions(fields, before);
        try {
            EstimateAction(fields);
            ADD_FAILURE() << "no failure";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.kind(), c.kind);
            EXPECT_EQ(failure.input(), c.input);
        }
        EXPECT_EQ(captionsOf(fields), c.after);
    }
}

TEST(EstimateAction, FailureNamesTheInputInItsMessage) {
    MemoryFields fields(0, "40", " ", "4O", " ");
    try {
        EstimateAction(fields);
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_STREQ(failure.what(), "Type mismatch: clay");
    }
}

TEST(EstimateAction, DecimalCommaReadsAndWritesWithTheSameSeparator) {
    const DecimalSeparator comma(',');
    MemoryFields fields(2, "40,5", " ", "20", "5,25");
    EstimateAction(fields, comma);
    // FC = ((25.76 - 8.1) + 7.2) + 27.18807 = 52.04807; PWP = 12.6 + 14.36694 = 26.96694;
    // AWC = 25.08113 x 1.5 = 37.621695
    EXPECT_EQ(captionsOf(fields), (Captions{"52,05", "26,97", "37,62"}));

    // The point is no separator here: "40.5" is not silently read as 405 or 40.5.
    MemoryFields point(2, "40.5", " ", "20", "5");
    EXPECT_THROW(EstimateAction(point, comma), Failure);
    MemoryFields grouped(2, "40,5", " ", "20", "5");
    EXPECT_THROW(EstimateAction(grouped), Failure);
}

} // namespace
} // namespace talvo::estimation
