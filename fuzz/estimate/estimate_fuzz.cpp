#include "estimation/catalogue.h"
#include "estimation/actions.h"
#include "estimation/failure.h"
#include "estimation/fields.h"
#include "estimation/number_text.h"
#include "fuzz/support/text_forms.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using namespace talvo::estimation;
using talvo::fuzz::expect;

// Fields that record every caption write, so that the order and form of the writes can be
// checked, not just the end state.
class RecordingFields final : public FormFields {
public:
    std::array<std::string, 4> inputs;
    int model = -1;
    std::array<std::string, 3> captions;
    std::vector<std::pair<Result, std::string>> writes;

    std::string inputText(Input input) const override { return inputs.at(index(input)); }
    int modelIndex() const override { return model; }
    std::string caption(Result result) const override { return captions.at(index(result)); }
    void setCaption(Result result, std::string_view text) override {
        captions.at(index(result)) = text;
        writes.emplace_back(result, text);
    }
    void setUnitCaption(Unit /*unit*/, std::string_view /*text*/) override {
        expect(false, "the Estimate action writes no unit caption");
    }
    void setInputEnabled(Input /*input*/, bool /*enabled*/) override {
        expect(false, "the Estimate action enables no input");
    }
    void setInputBackground(Input /*input*/, SystemColour /*colour*/) override {
        expect(false, "the Estimate action colours no input");
    }

private:
    template <typename E> static std::size_t index(E e) { return static_cast<std::size_t>(e); }
};

// The input is nine lines: model position, sand, silt, clay, OC, the three captions before
// the press, and the decimal separator. Missing lines are empty; a line that is not a
// position chooses no model.
struct Press {
    int model = -1;
    std::array<std::string, 4> inputs;
    std::array<std::string, 3> captions;
    DecimalSeparator separator;
};

Press pressFrom(std::string_view data) {
    std::array<std::string_view, 9> lines{};
    for (std::string_view& line : lines) {
        const std::size_t end = data.find('\n');
        line = data.substr(0, end);
        data.remove_prefix(end == std::string_view::npos ? data.size() : end + 1);
    }
    Press press;
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

constexpr std::array results{Result::fc, Result::pwp, Result::awc};

void checkGeneral(const std::string& text, DecimalSeparator separator) {
    expect(talvo::fuzz::isGeneralText(text, separator), "a result is first written as general text",
           text);
}

void checkCompleted(const RecordingFields& fields, const Press& press, const PtfModel* model) {
    if (model == nullptr) {
        // No model: only the formatting pass, over the captions as they were.
        expect(fields.writes.size() == 3, "without a model only the formatting pass writes");
        for (std::size_t i = 0; i < 3; ++i) {
            expect(fields.writes[i].first == results.at(i), "formatting pass order");
            expect(fields.writes[i].second == fixedText(press.captions.at(i), press.separator),
                   "formatting pass gives the fixed text", fields.writes[i].second);
        }
        return;
    }
    expect(fields.writes.size() == 6, "a completed press writes each caption twice");
    for (std::size_t i = 0; i < 6; ++i) {
        expect(fields.writes[i].first == results.at(i % 3), "captions written in order");
    }
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string& general = fields.writes[i].second;
        checkGeneral(general, press.separator);
        const std::string& fixed = fields.writes[3 + i].second;
        expect(talvo::fuzz::isFixedText(fixed, press.separator),
               "a completed press shows fixed texts", fixed);
        expect(fixed == fixedText(general, press.separator), "fixed text of the general text",
               fixed);
    }
    // AWC comes from FC and PWP as written.
    const Term fc = numberFromText(fields.writes[0].second, press.separator);
    const Term pwp = numberFromText(fields.writes[1].second, press.separator);
    expect(fields.writes[2].second ==
               generalText(availableWater(*model, fc, pwp).value(), press.separator),
           "AWC from the written FC and PWP", fields.writes[2].second);
}

void checkFailed(const RecordingFields& fields, const Press& press, const PtfModel* model,
                 const Failure& failure) {
    expect(model != nullptr, "without a model nothing fails");
    if (failure.input()) {
        expect(model->readInputs.contains(*failure.input()),
               "a failure names only an input the model reads", failure.what());
    }
    if (failure.kind() == FailureKind::divisionByZero) {
        expect(model->position == 1 && failure.input() == Input::oc,
               "division by zero only by the OC of position 1", failure.what());
    }
    // Captions written so far hold general texts, the others what they had.
    expect(fields.writes.size() <= 3, "no formatting after a failure");
    for (std::size_t i = 0; i < 3; ++i) {
        if (i < fields.writes.size()) {
            expect(fields.writes[i].first == results.at(i), "captions written in order");
            checkGeneral(fields.writes[i].second, press.separator);
        } else {
            expect(fields.captions.at(i) == press.captions.at(i),
                   "captions not yet written are unchanged", fields.captions.at(i));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Press press = pressFrom(std::string_view(reinterpret_cast<const char*>(data), size));
    const PtfModel* model = modelAt(press.model);

    RecordingFields fields;
    fields.model = press.model;
    fields.inputs = press.inputs;
    fields.captions = press.captions;
    try {
        EstimateAction(fields, press.separator);
    } catch (const Failure& failure) {
        checkFailed(fields, press, model, failure);
        return 0;
    }
    checkCompleted(fields, press, model);

    // A second press with the same inputs shows the same captions.
    const std::array<std::string, 3> shown = fields.captions;
    if (model != nullptr) {
        EstimateAction(fields, press.separator);
        expect(fields.captions == shown, "a second press changes nothing");
    }
    return 0;
}
