#include "window/retention_curve.h"

#include "window/triangle_painter.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace talvo::window {

namespace {

// Where the plot sits in the widget and how a point maps into it.
struct Plot {
    QRectF area;
    double thetaTop; // % v/v at the top edge

    QPointF at(double head, double theta) const {
        const double decades = std::log10(form::ChartHeadLast / form::ChartHeadFirst);
        const double x = std::log10(head / form::ChartHeadFirst) / decades;
        return {area.left() + x * area.width(), area.bottom() - theta / thetaTop * area.height()};
    }
};

// Tens of % v/v above the wettest point, so that saturation never touches the frame.
double thetaTop(const form::RetentionChart& chart) {
    const double curve = chart.points.empty() ? 0.0 : chart.points.front().theta;
    const double wettest = chart.band.empty() ? curve : std::max(curve, chart.band.front().p95);
    return std::clamp(std::ceil((wettest + 2.0) / 10.0) * 10.0, 10.0, 100.0);
}

void paintAxes(QPainter& painter, const Plot& plot, const QColor& ink) {
    painter.setPen(QPen(ink, 1));
    painter.drawRect(plot.area);
    const QFontMetricsF metrics(painter.font());
    constexpr int Decades = 5; // 1 to 10,000 cm labelled
    for (int decade = 0; decade < Decades; ++decade) {
        const double head = std::pow(10.0, decade);
        const QPointF foot = plot.at(head, 0.0);
        painter.drawLine(foot, foot + QPointF(0, 4));
        const QString label = QString::number(head, 'f', 0);
        const double width = metrics.horizontalAdvance(label);
        painter.drawText(QPointF(foot.x() - width / 2, foot.y() + 4 + metrics.ascent()), label);
    }
    const int tens = static_cast<int>(std::lround(plot.thetaTop / 10.0));
    for (int ten = 0; ten <= tens; ++ten) {
        const double theta = 10.0 * ten;
        const QPointF side = plot.at(form::ChartHeadFirst, theta);
        painter.drawLine(side, side - QPointF(4, 0));
        const QString label = QString::number(theta, 'f', 0);
        painter.drawText(QPointF(side.x() - 6 - metrics.horizontalAdvance(label),
                                 side.y() + metrics.ascent() / 2 - 1),
                         label);
    }
    const QString head = QObject::tr("Suction head (cm)");
    painter.drawText(QPointF(plot.area.center().x() - metrics.horizontalAdvance(head) / 2,
                             plot.area.bottom() + 6 + metrics.height() + metrics.ascent()),
                     head);
    painter.drawText(QPointF(plot.area.left(), plot.area.top() - metrics.descent() - 2),
                     QObject::tr("Water (% v/v)"));
}

// p95 from the wet end to the dry, then p05 back, faintly in the curve's colour.
void paintBand(QPainter& painter, const Plot& plot, const std::vector<form::BandPoint>& band,
               QColor colour) {
    QPolygonF outline;
    for (const form::BandPoint& point : band) {
        outline << plot.at(point.head, point.p95);
    }
    for (std::size_t i = band.size(); i-- > 0;) {
        outline << plot.at(band[i].head, band[i].p05);
    }
    colour.setAlphaF(0.25F);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPolygon(outline);
}

// The name to the left of the point, above it or below it, off the curve's side.
void paintMark(QPainter& painter, const Plot& plot, const form::CurvePoint& point,
               const QString& name, bool below) {
    const QPointF centre = plot.at(point.head, point.theta);
    painter.drawEllipse(centre, 4, 4);
    const double down = below ? painter.fontMetrics().ascent() + 4 : -6;
    painter.drawText(centre + QPointF(-painter.fontMetrics().horizontalAdvance(name) - 6, down),
                     name);
}

} // namespace

RetentionCurve::RetentionCurve(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("retentionCurve"));
    setAccessibleName(tr("Water-retention curve"));
}

void RetentionCurve::setChart(form::RetentionChart chart) {
    m_chart = std::move(chart);
    setAccessibleDescription(QString::fromStdString(m_chart.description));
    update();
}

QSize RetentionCurve::sizeHint() const {
    return {300, 240};
}

QSize RetentionCurve::minimumSizeHint() const {
    return {160, 120};
}

void RetentionCurve::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const TriangleColours colours = triangleColours(palette());
    painter.fillRect(rect(), colours.background);
    painter.setPen(colours.text);
    if (m_chart.points.empty()) {
        painter.drawText(rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                         QString::fromStdString(m_chart.failure));
        return;
    }
    const QFontMetricsF metrics(font());
    const double left = metrics.horizontalAdvance(QStringLiteral("100")) + 10;
    const double top = metrics.height() + 4;
    const double bottom = 2 * metrics.height() + 10;
    const double right = metrics.horizontalAdvance(QStringLiteral("10000")) / 2 + 4;
    const Plot plot{QRectF(rect()).adjusted(left, top, -right, -bottom), thetaTop(m_chart)};
    paintAxes(painter, plot, colours.text);
    paintBand(painter, plot, m_chart.band, colours.mark);
    QPainterPath path(plot.at(m_chart.points.front().head, m_chart.points.front().theta));
    for (const form::CurvePoint& point : m_chart.points) {
        path.lineTo(plot.at(point.head, point.theta));
    }
    painter.setPen(QPen(colours.mark, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.setBrush(colours.mark);
    painter.setPen(colours.text);
    paintMark(painter, plot, m_chart.fieldCapacity, tr("FC"), false);
    paintMark(painter, plot, m_chart.wiltingPoint, tr("PWP"), true);
}

} // namespace talvo::window
