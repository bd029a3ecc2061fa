#include "window/triangle_painter.h"

#include "estimation/estimation.h"
#include "window/colours.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QRectF>

#include <cmath>
#include <numbers>

namespace talvo::window {

namespace {

constexpr double NonTextContrast = 3.0;
constexpr int TickStep = 10;
constexpr int LabelStep = 20;

QString text(const char* source) {
    return QCoreApplication::translate("talvo::window::TextureTriangle", source);
}

double tickLength(const QFont& font) {
    return QFontMetricsF(font).height() * 0.4;
}

QPointF point(form::PlanePoint p) {
    return {p.x, p.y};
}

QColor blend(const QColor& a, const QColor& b, double share) {
    const QColor x = a.toRgb();
    const QColor y = b.toRgb();
    return QColor::fromRgbF(static_cast<float>(x.redF() * share + y.redF() * (1 - share)),
                            static_cast<float>(x.greenF() * share + y.greenF() * (1 - share)),
                            static_cast<float>(x.blueF() * share + y.blueF() * (1 - share)));
}

// A text centred on a point.
void drawCentred(QPainter& painter, QPointF centre, const QString& words) {
    const QRectF box(centre.x() - 500, centre.y() - 500, 1000, 1000);
    painter.drawText(box, Qt::AlignCenter, words);
}

// The class's name where it fits at its label point, on two lines if need be; its
// abbreviation where even that does not fit.
QString classLabel(estimation::TextureClass texture, double room, const QFontMetricsF& metrics) {
    QString name = QString::fromUtf8(estimation::name(texture).data(),
                                     static_cast<qsizetype>(estimation::name(texture).size()));
    if (metrics.horizontalAdvance(name) <= room) {
        return name;
    }
    const qsizetype space = name.lastIndexOf(QLatin1Char(' '));
    if (space > 0 && metrics.horizontalAdvance(name.left(space)) <= room &&
        metrics.horizontalAdvance(name.mid(space + 1)) <= room) {
        return name.left(space) + QLatin1Char('\n') + name.mid(space + 1);
    }
    return QString::fromUtf8(estimation::code(texture).data(),
                             static_cast<qsizetype>(estimation::code(texture).size()));
}

void drawClasses(QPainter& painter, const form::TriangleFrame& frame,
                 const TriangleColours& colours, const QFont& font,
                 estimation::ParticleSizeScale scale) {
    QPainterPath boundaries;
    for (const estimation::TextureClass texture : estimation::textureClasses(scale)) {
        const auto polygon = estimation::outline(texture, scale);
        boundaries.moveTo(point(form::place(frame, polygon.front())));
        for (const estimation::TexturePoint& corner : polygon.subspan(1)) {
            boundaries.lineTo(point(form::place(frame, corner)));
        }
        boundaries.closeSubpath();
    }
    painter.setPen(QPen(colours.boundary, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(boundaries);

    QFont small = font;
    small.setPointSizeF(font.pointSizeF() * 0.85);
    painter.setFont(small);
    painter.setPen(colours.text);
    const QFontMetricsF metrics(small);
    for (const estimation::TextureClass texture : estimation::textureClasses(scale)) {
        const form::PlanePoint at = form::place(frame, estimation::labelPoint(texture, scale));
        const double room = form::widthAt(frame, estimation::outline(texture, scale), at.y) * 0.9;
        drawCentred(painter, point(at), classLabel(texture, room, metrics));
    }
}

void drawAxes(QPainter& painter, const form::TriangleFrame& frame, const TriangleColours& colours,
              const QFont& font, double tickLength) {
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    painter.setPen(QPen(colours.text, 1.5));
    painter.drawPolygon(QPolygonF{point(frame.sand), point(frame.silt), point(frame.clay)});
    painter.setPen(QPen(colours.text, 1.0));
    for (const form::AxisTick& tick : form::axisTicks(frame, TickStep)) {
        const QPointF at = point(tick.at);
        const QPointF out = point(tick.outward);
        painter.drawLine(at, at + tickLength * out);
        // A corner shows only its own axis's 100, not the neighbouring axis's 0.
        if (tick.percent % LabelStep == 0 && tick.percent > 0) {
            const QString number = QString::number(tick.percent);
            // Far enough out that the text's box clears the tick, whatever the direction.
            const double reach = metrics.horizontalAdvance(number) / 2 * std::fabs(out.x()) +
                                 metrics.height() / 2 * std::fabs(out.y());
            drawCentred(painter, at + (tickLength + 2 + reach) * out, number);
        }
    }

    QFont bold = font;
    bold.setBold(true);
    painter.setFont(bold);
    const double titleDistance =
        tickLength + metrics.horizontalAdvance(QStringLiteral("100")) + metrics.height();
    for (const form::Axis axis : {form::Axis::clay, form::Axis::silt, form::Axis::sand}) {
        const QString title = text(form::axisTitle(axis).data());
        const form::AxisTick middle = form::axisMiddle(frame, axis);
        const QPointF at = point(middle.at) + titleDistance * point(middle.outward);
        // Along the side, read from left to right.
        const double sign = middle.outward.y >= 0 ? 1.0 : -1.0;
        const double degrees =
            std::atan2(-sign * middle.outward.x, sign * middle.outward.y) * 180 / std::numbers::pi;
        painter.save();
        painter.translate(at);
        painter.rotate(degrees);
        drawCentred(painter, {}, title);
        painter.restore();
    }
}

void drawMark(QPainter& painter, const form::TriangleFrame& frame, const form::SoilMark& mark,
              const TriangleColours& colours, const QFont& font) {
    if (mark.point) {
        const double radius = QFontMetricsF(font).height() * 0.35;
        painter.setPen(QPen(colours.text, 1.5));
        painter.setBrush(colours.mark);
        painter.drawEllipse(point(form::place(frame, *mark.point)), radius, radius);
    } else if (!mark.text.empty()) {
        QFont bold = font;
        bold.setBold(true);
        painter.setFont(bold);
        painter.setPen(colours.text);
        const QRectF box(frame.sand.x, frame.clay.y, frame.silt.x - frame.sand.x,
                         frame.sand.y - frame.clay.y);
        // Over the triangle's middle, on the background so that it reads over the lines.
        const QRectF words = painter
                                 .boundingRect(box, Qt::AlignCenter | Qt::TextWordWrap,
                                               QString::fromStdString(mark.text))
                                 .adjusted(-4, -2, 4, 2);
        painter.fillRect(words, colours.background);
        painter.drawText(box, Qt::AlignCenter | Qt::TextWordWrap,
                         QString::fromStdString(mark.text));
    }
}

} // namespace

TriangleColours triangleColours(const QPalette& palette) {
    TriangleColours colours;
    colours.background = palette.color(QPalette::Active, QPalette::Base);
    colours.text = readableTextOn(colours.background, palette);
    colours.boundary = blend(colours.text, colours.background, 0.6);
    if (contrastRatio(colours.boundary, colours.background) < NonTextContrast) {
        colours.boundary = colours.text;
    }
    colours.mark = palette.color(QPalette::Active, QPalette::Highlight);
    if (contrastRatio(colours.mark, colours.background) < NonTextContrast) {
        colours.mark = colours.text;
    }
    return colours;
}

form::TriangleFrame triangleFrame(const QRectF& area, const QFont& font) {
    const QFontMetricsF metrics(font);
    // Room for a tick, its number and the axis's title.
    const double margin = tickLength(font) + metrics.horizontalAdvance(QStringLiteral("100")) +
                          metrics.height() * 1.8;
    form::TriangleFrame frame = form::fitTriangle(area.width(), area.height(), margin);
    for (form::PlanePoint* corner : {&frame.sand, &frame.silt, &frame.clay}) {
        corner->x += area.left();
        corner->y += area.top();
    }
    return frame;
}

void paintTriangle(QPainter& painter, const QRectF& area, const form::SoilMark& mark,
                   const QPalette& palette, const QFont& font) {
    const TriangleColours colours = triangleColours(palette);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(area, colours.background);

    const form::TriangleFrame frame = triangleFrame(area, font);
    if (frame.silt.x - frame.sand.x > 0) {
        drawClasses(painter, frame, colours, font, mark.scale);
        drawAxes(painter, frame, colours, font, tickLength(font));
        drawMark(painter, frame, mark, colours, font);
    }
    painter.restore();
}

} // namespace talvo::window
