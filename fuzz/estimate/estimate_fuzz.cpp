#include "estimation/detail/catalogue.h"
#include "estimation/detail/decimal_form.h"
#include "estimation/detail/estimate.h"
#include "estimation/detail/fixed_estimate.h"
#include "estimation/detail/plausibility.h"
#include "estimation/detail/result_values.h"
#include "form/actions.h"
#include "form/fields.h"
#include "form/selection.h"
#include "fuzz/support/number_grammar.h"
#include "fuzz/support/reference_models.h"
#include "fuzz/support/text_forms.h"
#include "support/number_reference.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

using namespace talvo::estimation;
using namespace talvo::estimation::detail;
using namespace talvo::form;
using talvo::fuzz::expect;

template <typename E> std::size_t at(E e) {
    return static_cast<std::size_t>(e);
}

// Fields that count every write, so that what an action leaves alone can be checked too.
class RecordingFields final : public FormFields {
public:
    std::array<std::string_view, 4> inputs{};
    int model = -1;
    std::array<std::string, 3> captions;
    mutable std::array<int, 4> reads{};
    int captionWrites = 0;
    std::array<int, 2> unitWrites{};
    std::array<std::string_view, 2> units{};
    std::array<int, 4> enableWrites{};
    std::array<int, 4> backgroundWrites{};
    std::array<bool, 4> enabled{};
    std::array<SystemColour, 4> backgrounds{};

    std::string inputText(Input input) const override {
        ++reads.at(at(input));
        return std::string(inputs.at(at(input)));
    }
    int modelIndex() const override { return model; }
    talvo::estimation::ParticleSizeScale particleSizeScale() const override {
        return talvo::estimation::ParticleSizeScale::international;
    }
    std::string caption(Result result) const override { return captions.at(at(result)); }
    void setCaption(Result result, std::string_view text) override {
        captions.at(at(result)) = text;
        ++captionWrites;
    }
    void setUnitCaption(Unit unit, std::string_view text) override {
        units.at(at(unit)) = text; // the catalogue's own static text
        ++unitWrites.at(at(unit));
    }
    void setInputEnabled(Input input, bool on) override {
        enabled.at(at(input)) = on;
        ++enableWrites.at(at(input));
    }
    void setInputBackground(Input input, SystemColour colour) override {
        backgrounds.at(at(input)) = colour;
        ++backgroundWrites.at(at(input));
    }
};

// The input is nine lines: model position, sand, silt, clay, OC, the three captions before
// the press, and the decimal separator. Missing lines are empty; a line that is not a
// position chooses no model.
struct FuzzPress {
    int model = -1;
    InputTexts inputs{};
    std::array<std::string_view, 3> captions{};
    DecimalSeparator separator;
};

FuzzPress pressFrom(std::string_view data) {
    std::array<std::string_view, 9> lines{};
    for (std::string_view& line : lines) {
        const std::size_t end = data.find('\n');
        line = data.substr(0, end);
        data.remove_prefix(end == std::string_view::npos ? data.size() : end + 1);
    }
    FuzzPress press;
    std::from_chars(lines[0].data(), lines[0].data() + lines[0].size(), press.model);
    for (std::size_t i = 0; i < 4; ++i) {
        press.inputs.at(i) = lines.at(1 + i);
    }
    for (std::size_t i = 0; i < 3; ++i) {
        press.captions.at(i) = lines.at(5 + i);
    }
    if (lines[8].size() == 1) {
        try {
            press.separator = DecimalSeparator(lines[8].front());
        } catch (const std::invalid_argument&) {
            // not a separator: keep the point
        }
    }
    return press;
}

// A box's text as the plain grammar and strtod have it.
struct Converted {
    bool number = false;
    bool overflow = false;
    double value = 0;
};

Converted convert(std::string_view text, char separator) {
    if (!talvo::fuzz::recogniseNumber(text, separator)) {
        return {};
    }
    const double value = talvo::fuzz::libraryValue(text, separator).value_or(NAN);
    expect(!std::isnan(value), "strtod reads the whole of a number", text);
    return {true, std::isinf(value), value};
}

// What the estimate must give, from the reference equations: the results as doubles, how
// many, and the first failure in the order the boxes are read and the steps taken.
struct Expected {
    std::array<double, 3> values{};
    int computed = 0;
    std::optional<FailureReason> failure;
};

std::optional<FailureReason> readFailure(const talvo::fuzz::ReferenceEquation& equation,
                                         const std::array<Converted, 4>& boxes) {
    for (std::size_t i = 0; i < equation.readCount; ++i) {
        const auto input = static_cast<Input>(equation.reads.at(i));
        const Converted& box = boxes.at(at(input));
        if (!box.number) {
            return FailureReason{FailureKind::typeMismatch, input};
        }
        if (box.overflow) {
            return FailureReason{FailureKind::overflow, input};
        }
        if (input == Input::oc && equation.ocFactor != 0 &&
            !std::isfinite(box.value * equation.ocFactor)) {
            return FailureReason{FailureKind::overflow, std::nullopt};
        }
    }
    return std::nullopt;
}

// The double a result's general text reads back to; infinite beyond the range.
double shownValue(double value) {
    return talvo::fuzz::libraryValue(talvo::test::printfGeneral(value, '.'), '.').value_or(NAN);
}

Expected expected(const talvo::fuzz::ReferenceModel& model, const std::array<Converted, 4>& boxes) {
    constexpr FailureReason overflow{FailureKind::overflow, std::nullopt};
    const talvo::fuzz::Soil soil{boxes[0].value, boxes[1].value, boxes[2].value, boxes[3].value};
    Expected out;
    for (const talvo::fuzz::ReferenceEquation* equation : {&model.fc, &model.pwp}) {
        out.failure = readFailure(*equation, boxes);
        if (out.failure) {
            return out;
        }
        const double value = equation->value(soil);
        if (!std::isfinite(value)) {
            const bool byZero = equation->dividesByOc && soil.OC == 0 &&
                                std::isfinite(talvo::fuzz::beforeDivision(soil));
            out.failure = byZero ? FailureReason{FailureKind::divisionByZero, Input::oc} : overflow;
            return out;
        }
        out.values.at(static_cast<std::size_t>(out.computed++)) = value;
    }
    const double fc = shownValue(out.values[0]);
    const double pwp = shownValue(out.values[1]);
    const double awc = talvo::fuzz::referenceAwc(model, fc, pwp);
    if (!std::isfinite(fc) || !std::isfinite(pwp) || !std::isfinite(awc)) {
        out.failure = overflow;
        return out;
    }
    out.values[2] = awc;
    out.computed = 3;
    if (std::isinf(shownValue(awc))) {
        out.failure = overflow; // a two-decimal text could not stand for it
    }
    return out;
}

std::string general(const DecimalForm& form, char separator) {
    std::array<char, GeneralTextCapacity> text{};
    return {text.data(), writeGeneral(text.data(), form, separator)};
}

std::string fixed(const DecimalForm& form, char separator) {
    std::array<char, ResultTextCapacity> text{};
    return {text.data(), writeFixed(text.data(), form, separator)};
}

// The value API against the reference equations, through the 15-digit texts.
void checkEstimate(const PtfModel& model, const FuzzPress& press, const Estimate& estimated) {
    const char separator = press.separator.get();
    std::array<Converted, 4> boxes;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        boxes.at(i) = convert(press.inputs.at(i), separator);
    }
    const Expected reference =
        expected(talvo::fuzz::referenceModels.at(static_cast<std::size_t>(model.position)), boxes);
    expect(estimated.failure == reference.failure, "the first failure as the reference meets it");
    expect(estimated.computed == reference.computed, "as many results as the reference");
    for (std::size_t i = 0; i < static_cast<std::size_t>(reference.computed); ++i) {
        const std::string text = general(estimated.results.at(i), separator);
        expect(text == talvo::test::printfGeneral(reference.values.at(i), separator),
               "each result is the reference equation's to 15 digits", text);
    }
}

// The Estimate action writes what the value API gives, and fails as it does.
void checkAction(const PtfModel* model, const FuzzPress& press, const Estimate& estimated) {
    RecordingFields fields;
    fields.model = press.model;
    fields.inputs = press.inputs;
    for (std::size_t i = 0; i < 3; ++i) {
        fields.captions.at(i) = press.captions.at(i);
    }
    std::optional<FailureReason> thrown;
    try {
        throwFailure(pressEstimate(fields, press.separator));
    } catch (const Failure& failure) {
        thrown = failure.reason();
    }
    const char separator = press.separator.get();
    for (std::size_t i = 0; i < 3; ++i) {
        std::string caption;
        if (model == nullptr) {
            caption = fixedText(press.captions.at(i), press.separator);
        } else if (i >= static_cast<std::size_t>(estimated.computed)) {
            caption = press.captions.at(i);
        } else {
            const DecimalForm& form = estimated.results.at(i);
            caption = estimated.succeeded() ? fixed(form, separator) : general(form, separator);
        }
        expect(fields.captions.at(i) == caption, "captions as the value API gives them",
               fields.captions.at(i));
    }
    expect(thrown == (model != nullptr ? estimated.failure : std::nullopt),
           "the action fails as the value API");
    const int writes = model == nullptr ? 3 : estimated.succeeded() ? 6 : estimated.computed;
    expect(fields.captionWrites == writes, "each caption written once per pass");
    const bool readsOc = model != nullptr && model->readInputs.contains(Input::oc);
    expect(fields.reads[at(Input::oc)] == (readsOc ? 1 : 0), "OC read only for a model using it");
    expect(fields.unitWrites == std::array{0, 0} && fields.enableWrites == std::array{0, 0, 0, 0} &&
               fields.backgroundWrites == std::array{0, 0, 0, 0},
           "the Estimate action touches no box or unit");
}

// The quick two-decimal path, where it answers, gives the exact path's texts and flags.
void checkFixedEstimate(const PtfModel& model, const FuzzPress& press, const Estimate& estimated) {
    const InputValues values = convertInputs(press.inputs, model.readInputs, press.separator);
    const std::optional<FixedEstimate> quick = fixedEstimate(model, values);
    if (!quick) {
        return;
    }
    expect(estimated.succeeded(), "the quick path answers only where the estimate succeeds");
    const char separator = press.separator.get();
    for (std::size_t i = 0; i < 3; ++i) {
        std::array<char, ResultTextCapacity> text{};
        const std::string_view written(
            text.data(),
            static_cast<std::size_t>(
                writeHundredths(text.data(), quick->hundredths.at(i), separator) - text.data()));
        expect(written == fixed(estimated.results.at(i), separator),
               "the quick path's two decimals are the exact path's", written);
    }
    Flags flags = inputFlags(model, values);
    flags |= quick->resultFlags;
    expect(flags == modelFlags(model, values, estimated), "the quick path's flags are exact");
}

// The same soil as numbers, in a lane among others: where the lanes answer, the same values
// as the exact path and the soil's flags.
void checkTwoDecimalLanes(const PtfModel& model, const FuzzPress& press,
                          const Estimate& estimated) {
    const InputValues values = convertInputs(press.inputs, model.readInputs, press.separator);
    InputLanes lanes;
    for (std::size_t input = 0; input < lanes.size(); ++input) {
        const InputValue& value = values.at(input);
        lanes.at(input) = Lanes(50.0);
        lanes.at(input).values.back() =
            value.failure == FailureKind::overflow ? HUGE_VAL : value.number;
    }
    const ResultLanes quick = twoDecimalLanes(model, lanes);
    if (!quick.answered.back()) {
        return;
    }
    expect(estimated.succeeded(), "the lanes answer only where the estimate succeeds");
    for (std::size_t i = 0; i < 3; ++i) {
        expect(quick.values.at(i).values.back() ==
                   readBack(roundedToHundredths(estimated.results.at(i))),
               "the lanes' two decimals are the exact path's");
    }
    Flags flags = soilFlags(values);
    flags |= modelFlags(model, values, estimated);
    expect(quick.flags.back() == flags, "the lanes' flags are exact");
}

// Choosing any index: boxes and units as selection() has them, once each, and nothing else.
void checkSelection(int index) {
    RecordingFields fields;
    fields.model = index;
    ModelSelection(fields);
    expect(fields.captionWrites == 0, "model selection writes no result caption");
    const PtfModel* model = modelAt(index);
    const int once = model != nullptr ? 1 : 0;
    expect(fields.unitWrites == std::array{once, once} &&
               fields.enableWrites == std::array{once, once, once, once} &&
               fields.backgroundWrites == std::array{once, once, once, once},
           "model selection sets each box and unit once, or nothing without a model");
    if (model == nullptr) {
        return;
    }
    const Selection chosen = selection(*model);
    for (const Input input : allInputs) {
        expect(fields.enabled.at(at(input)) == chosen[input].enabled &&
                   fields.backgrounds.at(at(input)) == chosen[input].background,
               "a box as the selection has it", name(input));
    }
    expect(fields.units[0] == chosen.fcUnit && fields.units[1] == chosen.pwpUnit,
           "units as the selection has them");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const FuzzPress press = pressFrom(std::string_view(reinterpret_cast<const char*>(data), size));
    const PtfModel* model = modelAt(press.model);
    Estimate estimated;
    if (model != nullptr) {
        estimated = estimate(*model, press.inputs, press.separator);
        checkEstimate(*model, press, estimated);
        checkFixedEstimate(*model, press, estimated);
        checkTwoDecimalLanes(*model, press, estimated);
    }
    checkAction(model, press, estimated);
    checkSelection(press.model);
    return 0;
}
