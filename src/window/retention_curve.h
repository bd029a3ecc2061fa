#pragma once

#include "form/retention_chart.h"

#include <QWidget>

namespace talvo::window {

// The soil's water-retention curve: water content against suction head on a log axis, FC
// and PWP marked, the p05-p95 band where the chart has one, or the sentence saying why there
// is no curve.
class RetentionCurve final : public QWidget {
    Q_OBJECT

public:
    explicit RetentionCurve(QWidget* parent = nullptr);

    void setChart(form::RetentionChart chart);
    const form::RetentionChart& chart() const noexcept { return m_chart; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    form::RetentionChart m_chart;
};

} // namespace talvo::window
