#include "window/form1.h"

#include "estimation/estimation.h"
#include "form/actions.h"
#include "form/failure_message.h"
#include "form/result_origins.h"
#include "form/results_text.h"
#include "window/application.h"
#include "window/copy_fallthrough.h"
#include "window/form_fields.h"
#include "window/model_chooser.h"
#include "window/result_label.h"
#include "window/soil_view.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <array>
#include <cstddef>
#include <exception>
#include <limits>
#include <utility>

namespace talvo::window {

namespace {

// A control's rectangle and font as the form stores them, in twips and points.
struct Place {
    int left, top, width, height;
    double points;
    bool bold = false;
};

constexpr int TwipsPerPixel = 15;

// The control's font is the form's at its own size and weight: derived from one font, the
// controls of one size share one font engine, and none loads the desktop's font first.
template <typename W> W* place(W* widget, const char* name, const Place& p) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(p.left / TwipsPerPixel, p.top / TwipsPerPixel, p.width / TwipsPerPixel,
                        p.height / TwipsPerPixel);
    QFont font = widget->parentWidget()->font();
    font.setPointSizeF(p.points);
    font.setBold(p.bold);
    widget->setFont(font);
    return widget;
}

template <typename L> L* labelled(L* widget, const char* name, const char* text, const Place& p) {
    place(widget, name, p);
    widget->setText(QString::fromUtf8(text));
    widget->setTextFormat(Qt::PlainText);
    widget->setWordWrap(true);
    // The form's place, not the text's: the substitute fonts set lines further apart, which
    // costs the last line its descenders (Label2, Label7), never a line.
    widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return widget;
}

QLabel* label(QWidget* form, const char* name, const char* text, const Place& p) {
    return labelled(new QLabel(form), name, text, p);
}

QLineEdit* box(QWidget* form, const char* name, const Place& p) {
    // The blank comes after the font: a box made with its text shapes it in the application's
    // font first, which costs a glyph and a shaping plan that are never shown.
    auto* widget = place(new QLineEdit(form), name, p);
    widget->setText(QStringLiteral(" "));
    // A box cuts a longer text silently (32767 characters by default): a pasted number would
    // lose digits.
    widget->setMaxLength(std::numeric_limits<int>::max());
    widget->setEnabled(false);
    return widget;
}

// A unit caption, empty at start.
QLabel* unit(QWidget* form, const char* name, const Place& p) {
    return label(form, name, "", p);
}

// A result caption, empty at start.
ResultLabel* result(QWidget* form, const char* name, const Place& p) {
    return labelled(new ResultLabel(form), name, "", p);
}

void describe(QWidget* widget, QLabel* caption) {
    widget->setAccessibleName(caption->text());
}

// The catalogue's models, none chosen yet.
void fillChooser(QComboBox& chooser) {
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        chooser.addItem(QString::fromUtf8(model.listText.data(),
                                          static_cast<qsizetype>(model.listText.size())));
    }
    chooser.setEditable(false);
    chooser.setPlaceholderText(QStringLiteral("Select Model"));
    chooser.setCurrentIndex(-1);
}

} // namespace

// The controls the set-up steps hand on to each other.
struct Form1::Controls {
    Form1Fields::Controls fields; // what the actions read and write
    QPushButton* estimateButton;
    QLabel* chooserLabel;
    std::array<QLabel*, 4> inputLabels;  // sand, silt, clay, oc
    std::array<QLabel*, 3> resultLabels; // fc, pwp, awc
};

Form1::Form1(FailureReport report, estimation::DecimalSeparator separator, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_report(report ? std::move(report) : messageBoxReport(*this)), m_separator(separator) {
    setUpWindow();
    const Controls controls = createControls();
    fillChooser(*controls.fields.chooser);
    describeControls(controls);
    orderTabs(controls);
    m_fields = std::make_unique<Form1Fields>(controls.fields, *this);
    m_fields->refreshColours();
    connectSignals(controls);
    watchCopyKeys(controls);
    addMenuActions();
    controls.fields.chooser->setFocus();
}

Form1::~Form1() = default;

void Form1::setUpWindow() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QString::fromLatin1(WindowCaption));
    setWindowIcon(programIcon());
    setFixedSize(ClientWidth, ClientHeight);
    setFont(formFont(12));
}

// Top to bottom, as the form lists them.
Form1::Controls Form1::createControls() {
    QLabel* label3 =
        label(this, "Label3", "Pedotransfer function (PTF) models", {120, 120, 5175, 495, 13.5});
    auto* combo1 = place(new ModelChooser(this), "Combo1", {120, 840, 5415, 360, 9.75});
    label(this, "Label8_1", "Enter Input data of selected PTF model",
          {120, 1560, 4935, 495, 12, true});
    QLabel* label1 =
        label(this, "Label1", "Sand content (0.02-2 mm) (%)", {120, 2280, 3615, 375, 12});
    QLineEdit* sand = box(this, "sand", {4320, 2280, 1215, 375, 12});
    QLabel* label11 =
        label(this, "Label11", "Silt content (0.002-0.02 mm) (%)", {120, 2880, 3615, 375, 12});
    QLineEdit* silt = box(this, "silt", {4320, 2880, 1215, 375, 12});
    QLabel* label2 =
        label(this, "Label2", "Clay content (<0.002 mm) (%)", {120, 3480, 3615, 255, 12});
    QLineEdit* clay = box(this, "clay", {4320, 3480, 1215, 375, 12});
    QLabel* label4 =
        label(this, "Label4", "Organic carbon content (g/kg)", {120, 4080, 3255, 375, 12});
    QLineEdit* oc = box(this, "oc", {4320, 4080, 1215, 375, 12});
    label(this, "Label5", "Press the button to obtain soil hydraulic properties",
          {120, 4680, 3495, 615, 12, true});
    auto* cmd = place(new QPushButton(QStringLiteral("Estimate "), this), "cmd",
                      {4320, 4680, 1215, 495, 9.75});
    // Enter presses Estimate while it has the focus, as Space does.
    cmd->setAutoDefault(true);
    QLabel* label6 = label(this, "Label6", "Field capacity, FC", {120, 5520, 1935, 375, 12});
    QLabel* unitfc = unit(this, "unitfc", {2160, 5520, 1215, 375, 12});
    ResultLabel* fc = result(this, "fc", {4320, 5520, 1215, 375, 12});
    QLabel* label7 =
        label(this, "Label7", "Permanent wilting point, PWP", {120, 6120, 3135, 495, 12});
    QLabel* unitpwp = unit(this, "unitpwp", {3360, 6120, 975, 495, 12});
    ResultLabel* pwp = result(this, "pwp", {4440, 6120, 1095, 375, 12});
    QLabel* label8 =
        label(this, "Label8_0", "Available water capacity (AWC) for 15 cm soil layer (mm)",
              {120, 6720, 3375, 615, 12});
    ResultLabel* awc = result(this, "awc", {4440, 6840, 1095, 495, 12});
    // The estimate's flags, in the strip the form leaves under its last line.
    ResultLabel* flags = result(this, "flags", {120, 7335, 5400, 255, 9.75});
    return {{combo1, {sand, silt, clay, oc}, {fc, pwp, awc}, {unitfc, unitpwp}, flags},
            cmd,
            label3,
            {label1, label11, label2, label4},
            {label6, label7, label8}};
}

// Labels name what they describe, for screen readers; the unit captions become the results'
// descriptions when a model is chosen.
void Form1::describeControls(const Controls& controls) {
    const Form1Fields::Controls& fields = controls.fields;
    controls.chooserLabel->setBuddy(fields.chooser);
    describe(fields.chooser, controls.chooserLabel);
    for (std::size_t i = 0; i < fields.inputs.size(); ++i) {
        controls.inputLabels.at(i)->setBuddy(fields.inputs.at(i));
        describe(fields.inputs.at(i), controls.inputLabels.at(i));
    }
    for (std::size_t i = 0; i < fields.results.size(); ++i) {
        describe(fields.results.at(i), controls.resultLabels.at(i));
    }
    fields.flagLine->setAccessibleName(tr("Checks on the estimate"));
}

// The chooser, then the boxes top to bottom, then Estimate.
void Form1::orderTabs(const Controls& controls) {
    QWidget* previous = controls.fields.chooser;
    for (QLineEdit* input : controls.fields.inputs) {
        setTabOrder(previous, input);
        previous = input;
    }
    setTabOrder(previous, controls.estimateButton);
}

void Form1::connectSignals(const Controls& controls) const {
    connect(controls.fields.chooser, &QComboBox::activated, this, &Form1::chooseModel);
    connect(controls.estimateButton, &QPushButton::clicked, this, &Form1::estimate);
    for (QLineEdit* input : controls.fields.inputs) {
        connect(input, &QLineEdit::returnPressed, this, &Form1::estimate);
        connect(input, &QLineEdit::textChanged, this, &Form1::followInputs);
    }
}

// Ctrl+C in a box or on a result copies its selection, or else the results (addMenuActions).
void Form1::watchCopyKeys(const Controls& controls) {
    auto* copyFallthrough = new CopyFallthrough(this);
    for (QLineEdit* input : controls.fields.inputs) {
        copyFallthrough->watch(*input);
    }
    for (ResultLabel* result : controls.fields.results) {
        copyFallthrough->watch(*result);
    }
}

void Form1::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        m_fields->refreshColours();
    }
    QWidget::changeEvent(event);
}

// The window's context menu, in its order; its shortcuts work anywhere in the window.
void Form1::addMenuActions() {
    setContextMenuPolicy(Qt::ActionsContextMenu);

    auto* copy = new QAction(tr("Copy results"), this);
    copy->setObjectName(QStringLiteral("copyResults"));
    copy->setShortcut(QKeySequence::Copy);
    connect(copy, &QAction::triggered, this, &Form1::copyResults);
    addAction(copy);

    auto* details = new QAction(tr("Soil details…"), this);
    details->setObjectName(QStringLiteral("soilDetails"));
    details->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    connect(details, &QAction::triggered, this, &Form1::showSoilView);
    addAction(details);
}

// Built on first use, so that starting the calculator costs nothing for it.
void Form1::showSoilView() {
    if (m_soilView == nullptr) {
        m_soilView = new SoilView(this);
        connect(m_soilView, &SoilView::scaleChanged, this, &Form1::followScale);
    }
    followInputs();
    m_soilView->showBeside(*this);
}

// Results worked out for other texts turn stale; the soil view, once opened, follows.
void Form1::followInputs() {
    m_fields->showOrigins(m_origins);
    if (m_soilView != nullptr) {
        m_soilView->showFields(*m_fields, m_separator);
    }
}

// One scale for the whole window: the form estimates on the scale the soil details show.
void Form1::followScale() {
    m_fields->setParticleSizeScale(m_soilView->scale());
    // Silt opens or closes with the scale for a model that reads sand.
    run([this] { form::ModelSelection(*m_fields); });
    followInputs();
}

void Form1::copyResults() {
    QGuiApplication::clipboard()->setText(
        QString::fromStdString(form::resultsText(m_fields->shown())));
}

void Form1::chooseModel() {
    run([this] { form::ModelSelection(*m_fields); });
    m_fields->showOrigins(m_origins);
}

void Form1::estimate() {
    run([this] { m_origins.estimate(*m_fields, m_separator); });
    m_fields->showOrigins(m_origins);
}

// The toolkit must never see an exception: every failure ends here, as a message.
template <typename Action> void Form1::run(Action action) noexcept {
    try {
        action();
    } catch (const estimation::Failure& failure) {
        m_report(QString::fromStdString(form::failureMessage(failure, m_separator)));
    } catch (const std::exception& error) {
        m_report(
            QStringLiteral("The action stopped: %1").arg(QString::fromLocal8Bit(error.what())));
    }
}

} // namespace talvo::window
