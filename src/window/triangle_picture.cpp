#include "window/triangle_picture.h"

#include "window/triangle_painter.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgGenerator>

namespace talvo::window {

namespace {

constexpr qreal PngPixelRatio = 2; // sharp on high-density screens and in print

bool saveSvg(const QString& path, const form::SoilMark& mark, const QPalette& palette,
             const QFont& font, QSize size) {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(), size));
    svg.setTitle(QCoreApplication::translate("talvo::window::TextureTriangle", "Texture triangle"));
    QPainter painter;
    if (!painter.begin(&svg)) {
        return false;
    }
    paintTriangle(painter, QRectF(QPointF(), size), mark, palette, font);
    return painter.end();
}

bool savePng(const QString& path, const form::SoilMark& mark, const QPalette& palette,
             const QFont& font, QSize size) {
    QImage image(size * PngPixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(PngPixelRatio);
    {
        QPainter painter(&image);
        paintTriangle(painter, QRectF(QPointF(), size), mark, palette, font);
    }
    return image.save(path, "PNG");
}

} // namespace

bool saveTrianglePicture(const QString& path, const form::SoilMark& mark, const QPalette& palette,
                         const QFont& font, QSize size) {
    return path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)
               ? saveSvg(path, mark, palette, font, size)
               : savePng(path, mark, palette, font, size);
}

} // namespace talvo::window
