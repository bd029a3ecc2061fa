#pragma once

#include "estimation/estimation.h"
#include "form/fields.h"
#include "window/soil_table.h"

#include <QWidget>

#include <array>
#include <string>

class QComboBox;
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
    // The scale sand, silt and clay are given on, as chosen in the view.
    estimation::ParticleSizeScale scale() const;

    // The table, tab-separated with its header line, on the clipboard.
    void copyTable() const;
    // The triangle as shown, as SVG or PNG by the name's ending; false when not written.
    bool savePicture(const QString& path) const;

private:
    void askForPicture();
    void fitTable();
    void showAgain();

    QComboBox* m_scale;
    TextureTriangle* m_triangle;
    QLabel* m_texture;
    QLabel* m_warnings;
    QTableWidget* m_table;
    QPushButton* m_copy;
    QPushButton* m_save;
    SoilTable m_rows;
    // The inputs shown last, for showing them again on another scale.
    std::array<std::string, 4> m_texts;
    estimation::DecimalSeparator m_separator;
};

} // namespace talvo::window
