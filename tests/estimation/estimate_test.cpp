#include "estimation/actions.h"
#include "estimation/estimate.h"
#include "estimation/failure.h"
#include "support/memory_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <string_view>
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

// A text as a user or a table might give it: numbers in many forms, with either separator,
// blanks, junk, zeros and values beyond the double range.
std::string arbitraryText(std::mt19937_64& random, char separator) {
    // clang-format off
    constexpr std::array<std::string_view, 24> odd{
        "", " ", "\t", "x", "4O", "1,000", "1.2.3", "inf", "nan", "0x1A", "--5", "5e", ".", "40%",
        "0", "-0", "0e5", " 0 ", "1e999", "-1e400", "1e308", "-1.2e308", "1.79769313486232e308", "+.5"};
    // clang-format on
    constexpr std::array<const char*, 6> formats{"%.17g", "%.3f", "%g", "%.15e", "%.0f", "%.5E"};
    const auto pick = [&random](std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
    };
    if (pick(3) == 0) {
        return std::string(odd.at(pick(odd.size())));
    }
    double value = std::uniform_real_distribution<double>(-50.0, 150.0)(random);
    if (pick(4) == 0) {
        value = std::pow(10.0, std::uniform_real_distribution<double>(-30.0, 30.0)(random));
    }
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), formats.at(pick(formats.size())), value);
    std::string text(buffer.data());
    std::replace(text.begin(), text.end(), '.', pick(8) == 0 ? ',' : separator);
    return std::string(pick(2), ' ') + text + std::string(pick(2), '\t');
}

std::string general(const DecimalForm& form, DecimalSeparator separator) {
    std::array<char, GeneralTextCapacity> text{};
    return {text.data(), writeGeneral(text.data(), form, separator.get())};
}

std::string fixed(const DecimalForm& form, DecimalSeparator separator) {
    std::array<char, FixedTextCapacity> text{};
    return {text.data(), writeFixed(text.data(), form, separator.get())};
}

// The Estimate action is the value API written into the fields: captions, failure and the
// boxes it reads, over arbitrary texts, every model, no model and a second press.
TEST(EstimateAction, IsTheValueApiOverTheFields) {
    std::mt19937_64 random(2011);
    for (int i = 0; i < 3000; ++i) {
        const int index = std::uniform_int_distribution<int>(-2, ModelCount)(random);
        const DecimalSeparator separator(i % 3 == 0 ? ',' : '.');
        std::array<std::string, 4> texts;
        for (std::string& text : texts) {
            text = arbitraryText(random, separator.get());
        }
        MemoryFields fields(index, texts[0], texts[1], texts[2], texts[3]);
        setCaptions(fields, {arbitraryText(random, separator.get()), "old pwp",
                             arbitraryText(random, separator.get())});
        for (int press = 0; press < 2; ++press) {
            const Captions before = captionsOf(fields);
            SCOPED_TRACE(::testing::Message() << index << " [" << texts[0] << '|' << texts[1] << '|'
                                              << texts[2] << '|' << texts[3] << "] " << before);
            Captions expected{fixedText(before.fc, separator), fixedText(before.pwp, separator),
                              fixedText(before.awc, separator)};
            std::optional<FailureReason> failure;
            const PtfModel* model = modelAt(index);
            if (model != nullptr) {
                const Estimate estimated =
                    estimate(*model, {texts[0], texts[1], texts[2], texts[3]}, separator);
                const auto shown = estimated.succeeded() ? fixed : general;
                std::array<std::string, 3> results{before.fc, before.pwp, before.awc};
                for (int k = 0; k < estimated.computed; ++k) {
                    const auto slot = static_cast<std::size_t>(k);
                    results.at(slot) = shown(estimated.results.at(slot), separator);
                }
                expected = {results[0], results[1], results[2]};
                failure = estimated.failure;
            }
            std::optional<FailureReason> thrown;
            try {
                EstimateAction(fields, separator);
            } catch (const Failure& caught) {
                thrown = caught.reason();
            }
            EXPECT_EQ(thrown, failure);
            EXPECT_EQ(captionsOf(fields), expected);
            const bool readsOc = model != nullptr && model->readInputs.contains(Input::oc);
            EXPECT_EQ(fields.inputReads(Input::oc), readsOc ? press + 1 : 0);
        }
    }
}

} // namespace
} // namespace talvo::estimation
