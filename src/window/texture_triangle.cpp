#include "window/texture_triangle.h"

#include "window/triangle_painter.h"

#include <QPainter>

#include <utility>

namespace talvo::window {

TextureTriangle::TextureTriangle(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("triangle"));
    setAccessibleName(tr("Texture triangle"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void TextureTriangle::setMark(form::SoilMark mark) {
    m_mark = std::move(mark);
    update();
}

QSize TextureTriangle::sizeHint() const {
    return {400, 380};
}

QSize TextureTriangle::minimumSizeHint() const {
    return {240, 220};
}

void TextureTriangle::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    paintTriangle(painter, rect(), m_mark, palette(), font());
}

} // namespace talvo::window
