#pragma once

#include "estimation/estimation.h"
#include "form/result_origins.h"
#include "window/failure_report.h"
#include "window/locale_separator.h"

#include <QLocale>
#include <QWidget>

#include <memory>

namespace talvo::window {

class Form1Fields;
class SoilView;

// The calculator's one window: the model chooser, four input boxes, Estimate and the three
// results, laid out at fixed positions. Choosing a model runs ModelSelection, pressing
// Estimate runs pressEstimate; a failure of either goes to `report`, and the window keeps
// what the action left.
class Form1 final : public QWidget {
    Q_OBJECT

public:
    // Client size in pixels: 5640 x 7605 twips at 15 twips per pixel.
    static constexpr int ClientWidth = 376;
    static constexpr int ClientHeight = 507;

    // Without a report, failures are shown in a message box over the window.
    explicit Form1(FailureReport report = {},
                   estimation::DecimalSeparator separator = decimalSeparatorOf(QLocale::system()),
                   QWidget* parent = nullptr);
    ~Form1() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    struct Controls; // the controls the set-up steps hand on, in form1.cpp

    // Set-up steps, in the order the constructor takes them.
    void setUpWindow();
    Controls createControls();
    void describeControls(const Controls& controls);
    void orderTabs(const Controls& controls);
    void connectSignals(const Controls& controls) const;
    void watchCopyKeys(const Controls& controls);
    void addMenuActions();

    void copyResults();
    void showSoilView();
    void followInputs();
    void followScale();
    void chooseModel();
    void estimate();
    template <typename Action> void run(Action action) noexcept;

    FailureReport m_report;
    estimation::DecimalSeparator m_separator;
    std::unique_ptr<Form1Fields> m_fields;
    form::ResultOrigins m_origins;
    SoilView* m_soilView = nullptr; // owned as a child; a window of its own
};

} // namespace talvo::window
