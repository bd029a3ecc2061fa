#include "estimation/estimate.h"

#include "estimation/catalogue.h"
#include "estimation/failure.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <string>

namespace talvo::estimation {

namespace {

// The operands of one press: sand, silt and clay as their texts stood at the start of the
// press, OC read from its box at each use. Texts are converted only when an equation asks.
class PressOperands final : public Operands {
public:
    PressOperands(const FormFields& fields, DecimalSeparator separator)
        : m_fields(fields), m_separator(separator), m_texts{fields.inputText(Input::sand),
                                                            fields.inputText(Input::silt),
                                                            fields.inputText(Input::clay)} {}

protected:
    Term read(Input input) override {
        const std::string text = input == Input::oc ? m_fields.inputText(Input::oc)
                                                    : m_texts[static_cast<std::size_t>(input)];
        try {
            return {numberFromText(text, m_separator), input};
        } catch (const Failure& failure) {
            throw Failure(failure.kind(), input);
        }
    }

private:
    const FormFields& m_fields;
    DecimalSeparator m_separator;
    std::array<std::string, 3> m_texts;
};

} // namespace

void EstimateAction(FormFields& fields, DecimalSeparator separator) {
    PressOperands operands(fields, separator);

    if (const PtfModel* model = modelAt(fields.modelIndex())) {
        fields.setCaption(Result::fc, generalText(model->fc(operands).value(), separator));
        fields.setCaption(Result::pwp, generalText(model->pwp(operands).value(), separator));

        // AWC works on the results as shown, rounded to 15 digits, not on the raw doubles.
        const std::string pwpText = fields.caption(Result::pwp);
        const std::string fcText = fields.caption(Result::fc);
        const Term fc = numberFromText(fcText, separator);
        const Term pwp = numberFromText(pwpText, separator);
        const double awc = availableWater(*model, fc, pwp).value();
        const std::string awcText = generalText(awc, separator);
        fields.setCaption(Result::awc, awcText);
        // Like FC and PWP above, a result whose 15-digit text lies beyond the double range
        // is an overflow; the formatting pass would leave it unformatted. Only the top of the
        // range can round past it, so the text is read again only there.
        if (std::fabs(awc) >= 1e308) {
            numberFromText(awcText, separator);
        }
    }

    for (const Result result : {Result::fc, Result::pwp, Result::awc}) {
        fields.setCaption(result, fixedText(fields.caption(result), separator));
    }
}

} // namespace talvo::estimation
