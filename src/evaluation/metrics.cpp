#include "evaluation/metrics.h"

#include "table/csv.h"

#include <cmath>

namespace talvo::evaluation {

namespace {

std::string numberText(double value, estimation::DecimalSeparator decimal) {
    return std::isfinite(value) ? estimation::generalText(value, decimal) : std::string();
}

} // namespace

std::string metricsTable(const Outcome& outcome, char delimiter,
                         estimation::DecimalSeparator decimal) {
    std::string out;
    for (const std::string_view column : MetricsColumns) {
        if (!out.empty()) {
            out += delimiter;
        }
        out += column;
    }
    out += '\n';
    for (const Comparison& c : outcome.comparisons) {
        table::appendField(out, c.model->listText, delimiter);
        for (const std::string_view field : {c.unit, name(c.quantity)}) {
            out += delimiter;
            table::appendField(out, field, delimiter);
        }
        out += delimiter + std::to_string(static_cast<std::uint64_t>(c.scores.n));
        for (const double value :
             {c.scores.me, c.intervals.me.low, c.intervals.me.high, c.scores.mae, c.scores.rmse,
              c.intervals.rmse.low, c.intervals.rmse.high, c.scores.r2, c.scores.nse}) {
            out += delimiter;
            table::appendField(out, numberText(value, decimal), delimiter);
        }
        out += '\n';
    }
    return out;
}

} // namespace talvo::evaluation
