#pragma once

#include "estimation/estimation.h"
#include "form/fields.h"
#include "form/soil_table.h"

#include <QWidget>

#include <array>
#include <string>

class QComboBox;
class QLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTextEdit;

namespace talvo::window {

class RetentionCurve;
class TextureTriangle;

// "Soil details": the soil being typed on the texture triangle, its texture class and
// warnings, every model's estimate side by side, and the sheet of the model in the current
// row. It only reads the texts it is given.
class SoilView final : public QWidget {
    Q_OBJECT

public:
    // A window of its own, also when it has a parent (which then owns it).
    explicit SoilView(QWidget* parent = nullptr);

    // The model whose sheet is shown and whose row is current; no change for an index that
    // names no model.
    void showModel(int modelIndex);

    // Sand, silt, clay and OC as typed; call on every change.
    void showInputs(const estimation::InputTexts& texts, estimation::DecimalSeparator separator);
    // The same, read from a window's fields; the sheet follows the model chosen there.
    void showFields(const form::FormFields& fields, estimation::DecimalSeparator separator);
    // The scale sand, silt and clay are given on, as chosen in the view.
    estimation::ParticleSizeScale scale() const;

    // Shows the view, the first time beside `window` and within its screen.
    void showBeside(const QWidget& window);

    // The soil's inputs, texture class and every model's row, tab-separated with a header
    // line, on the clipboard.
    void copyTable() const;
    // The triangle as shown, as SVG or PNG by the name's ending; false when not written.
    bool savePicture(const QString& path) const;

signals:
    // Another scale was chosen: the window's form reads it too.
    void scaleChanged();

private:
    // Set-up steps, in the order the constructor takes them.
    void describeParts();
    void layOut();
    void connectParts();

    void showSheet(int row);
    void askForPicture();
    void fitTable();
    void showAgain();
    // The retention curve, beside the rest.
    QLayout* curvePanel();
    QLayout* spreadRow();
    void showCurve(const estimation::InputTexts& texts);

    QComboBox* m_scale;
    TextureTriangle* m_triangle;
    QLabel* m_texture;
    QLabel* m_warnings;
    QTableWidget* m_table;
    QTextEdit* m_sheet;
    QPushButton* m_copy;
    QPushButton* m_save;
    RetentionCurve* m_curve;
    QTableWidget* m_curveTable; // the curve's text equivalent
    QLabel* m_curveNotes;
    // Standard deviations of sand, clay and OC for the curve's band; silt follows.
    std::array<QLineEdit*, 3> m_curveSpread{};
    form::SoilTable m_rows;
    std::array<std::string, 4> m_texts; // sand, silt, clay, oc, as shown, for another scale
    estimation::DecimalSeparator m_separator;
    bool m_placed = false;
    int m_chosen = -1; // the model chosen in the window, when last shown
};

} // namespace talvo::window
