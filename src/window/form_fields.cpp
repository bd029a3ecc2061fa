#include "window/form_fields.h"

#include "window/colours.h"
#include "window/result_label.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <cstddef>
#include <string>

namespace talvo::window {

namespace {

template <typename E> std::size_t at(E e) {
    return static_cast<std::size_t>(e);
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

Form1Fields::Form1Fields(const Controls& controls, const QWidget& form)
    : m_controls(controls), m_form(form) {}

std::string Form1Fields::inputText(Input input) const {
    return m_controls.inputs[at(input)]->text().toStdString();
}

int Form1Fields::modelIndex() const {
    return m_controls.chooser->currentIndex();
}

std::string Form1Fields::caption(Result result) const {
    return m_controls.results[at(result)]->caption().toStdString();
}

void Form1Fields::setCaption(Result result, std::string_view text) {
    m_controls.results[at(result)]->setCaption(toQString(text));
    describe(result);
}

void Form1Fields::setUnitCaption(Unit unit, std::string_view text) {
    m_controls.units[at(unit)]->setText(toQString(text));
    describe(unit == Unit::fc ? Result::fc : Result::pwp);
}

// The accessible name of a result is its label's text, so a screen reader would not say the
// number itself: the description carries it, with the unit beside it ("50.85 (% v/v)").
void Form1Fields::describe(Result result) {
    ResultLabel* label = m_controls.results[at(result)];
    QString description = label->caption();
    if (m_stale[result] && !description.isEmpty()) {
        description = ResultLabel::staleNote() + QLatin1Char(' ') + description;
    }
    if (result != Result::awc) {
        description += QLatin1Char(' ') + m_controls.units[at(result)]->text();
    }
    description = description.trimmed();
    if (!m_warnings.isEmpty()) {
        description += QStringLiteral(". ") + m_warnings;
    }
    label->setAccessibleDescription(description);
}

void Form1Fields::showOrigins(const form::ResultOrigins& origins) {
    m_stale = origins.stale(form::screenSoil(*this));
    m_warnings = QString::fromStdString(form::flagSentences(origins.flags()));
    for (const Result result : {Result::fc, Result::pwp, Result::awc}) {
        ResultLabel* label = m_controls.results[at(result)];
        label->setStale(m_stale[result]);
        label->setNote(m_warnings);
        describe(result);
    }
    ResultLabel* line = m_controls.flagLine;
    const std::string flags = form::flagLine(origins.flags(), m_scale);
    line->setCaption(QString::fromStdString(flags));
    line->setNote(m_warnings);
    // The scale's note alone describes the form as it is now.
    line->setStale(m_stale.flags && flags != form::flagLine({}, m_scale));
    line->setAccessibleDescription(line->toolTip());
}

void Form1Fields::setInputEnabled(Input input, bool enabled) {
    m_controls.inputs[at(input)]->setEnabled(enabled);
}

void Form1Fields::setInputBackground(Input input, SystemColour colour) {
    m_backgrounds[at(input)] = colour;
    paint(input);
}

void Form1Fields::refreshColours() {
    for (const Input input : estimation::allInputs) {
        paint(input);
    }
}

form::ShownEstimate Form1Fields::shown() const {
    form::ShownEstimate shown;
    shown.model = m_controls.chooser->currentText().toStdString();
    for (std::size_t i = 0; i < shown.boxes.size(); ++i) {
        const QLineEdit* box = m_controls.inputs.at(i);
        shown.boxes.at(i) = {box->text().toStdString(), box->isEnabled()};
    }
    shown.fcUnit = m_controls.units[at(Unit::fc)]->text().toStdString();
    for (std::size_t i = 0; i < shown.results.size(); ++i) {
        if (!m_stale.results.at(i)) {
            shown.results.at(i) = m_controls.results.at(i)->caption().toStdString();
        }
    }
    return shown;
}

void Form1Fields::paint(Input input) {
    const QPalette& source = m_form.palette();
    const QColor background = systemColour(m_backgrounds[at(input)], source);
    const QColor text = readableTextOn(background, source);

    QLineEdit* box = m_controls.inputs[at(input)];
    QPalette palette = box->palette();
    // The same colours in every state: the box's text stays readable while it is disabled.
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, background);
        palette.setColor(group, QPalette::Text, text);
    }
    box->setPalette(palette);
}

} // namespace talvo::window
