#pragma once

#include "estimation/estimation.h"
#include "form/fields.h"
#include "form/soil_table.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace talvo::window {

class TextureTriangle;

// "Soil details": the soil being typed on the texture triangle, its texture class and
// warnings, and every model's estimate side by side. It only reads the texts it is given.
class SoilView final : public QWidget {
    Q_OBJECT

public:
    // A window of its own, also when it has a parent (which then owns it).
    explicit SoilView(QWidget* parent = nullptr);

    // Sand, silt, clay and OC as typed; call on every change.
    void showInputs(const estimation::InputTexts& texts, estimation::DecimalSeparator separator);
    // The same, read from a window's fields.
    void showFields(const form::FormFields& fields, estimation::DecimalSeparator separator);

    // The table, tab-separated with its header line, on the clipboard.
    void copyTable() const;
    // The triangle as shown, as SVG or PNG by the name's ending; false when not written.
    bool savePicture(const QString& path) const;

private:
    void askForPicture();
    void fitTable();

    TextureTriangle* m_triangle;
    QLabel* m_texture;
    QLabel* m_warnings;
    QTableWidget* m_table;
    QPushButton* m_copy;
    QPushButton* m_save;
    form::SoilTable m_rows;
};

} // namespace talvo::window
