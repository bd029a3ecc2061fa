#pragma once

#include "form/triangle_geometry.h"

#include <QWidget>

namespace talvo::window {

// The texture triangle with the soil being typed: a point, or a text saying why there is none.
class TextureTriangle final : public QWidget {
    Q_OBJECT

public:
    explicit TextureTriangle(QWidget* parent = nullptr);

    void setMark(form::SoilMark mark);
    const form::SoilMark& mark() const noexcept { return m_mark; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    form::SoilMark m_mark;
};

} // namespace talvo::window
