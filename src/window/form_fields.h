#pragma once

#include "form/fields.h"
#include "form/result_origins.h"
#include "form/results_text.h"

#include <QString>

#include <array>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QWidget;

namespace talvo::window {

class ResultLabel;

// The window's controls as the actions see them.
class Form1Fields final : public form::FormFields {
public:
    using Input = estimation::Input;
    using Result = estimation::Result;
    using Unit = form::Unit;
    using SystemColour = form::SystemColour;

    struct Controls {
        QComboBox* chooser;
        std::array<QLineEdit*, 4> inputs;    // sand, silt, clay, oc
        std::array<ResultLabel*, 3> results; // fc, pwp, awc
        std::array<QLabel*, 2> units;        // unitfc, unitpwp
        ResultLabel* flagLine;               // the estimate's flags, under the results
    };

    // System colours are looked up in the palette of `form`.
    Form1Fields(const Controls& controls, const QWidget& form);

    std::string inputText(Input input) const override;
    int modelIndex() const override;
    estimation::ParticleSizeScale particleSizeScale() const override { return m_scale; }
    // The scale chosen in the soil details; the labels keep the international sizes, so the
    // flag line says it (showOrigins).
    void setParticleSizeScale(estimation::ParticleSizeScale scale) { m_scale = scale; }
    std::string caption(Result result) const override;
    void setCaption(Result result, std::string_view text) override;
    void setUnitCaption(Unit unit, std::string_view text) override;
    void setInputEnabled(Input input, bool enabled) override;
    void setInputBackground(Input input, SystemColour colour) override;

    // Looks the boxes' system colours up again, after the palette has changed.
    void refreshColours();

    // What `origins` says of the results: stale ones greyed, and the estimate's flags on the
    // flag line and in words with each result (tooltip and description).
    void showOrigins(const form::ResultOrigins& origins);

    // What the window shows now, for copying; stale results are left out.
    form::ShownEstimate shown() const;

private:
    void paint(Input input);
    void describe(Result result);

    Controls m_controls;
    const QWidget& m_form;
    QString m_warnings;
    form::Staleness m_stale;
    estimation::ParticleSizeScale m_scale = estimation::ParticleSizeScale::international;
    std::array<SystemColour, 4> m_backgrounds{
        SystemColour::inactiveBorder, SystemColour::inactiveBorder, SystemColour::inactiveBorder,
        SystemColour::inactiveBorder};
};

} // namespace talvo::window
