#include "python/evaluate.h"

#include "base/options.h"
#include "evaluation/evaluation.h"
#include "evaluation/options.h"

#include <span>
#include <stdexcept>

namespace py = pybind11;

namespace talvo::python {

namespace {

std::span<const double> span(const EvaluateColumn& column) {
    return {column.data(), static_cast<std::size_t>(column.size())};
}

py::object number(double value) {
    return std::isfinite(value) ? py::object(py::float_(value)) : py::object(py::none());
}

} // namespace

py::tuple evaluateColumns(const std::vector<int>& positions, const EvaluateColumn& sand,
                          const EvaluateColumn& silt, const EvaluateColumn& clay,
                          const EvaluateColumn& oc, const EvaluateColumn& fc,
                          const EvaluateColumn& pwp, const EvaluateColumn& awc,
                          const EvaluateColumn& bd, const std::string& unit, bool usda) {
    evaluation::Setup setup;
    for (const int position : positions) {
        const estimation::PtfModel* model = estimation::modelAt(position);
        if (model == nullptr) {
            throw py::value_error("no model at position " + std::to_string(position));
        }
        setup.models.push_back(model);
    }
    setup.measured = {fc.size() > 0, pwp.size() > 0, awc.size() > 0};
    setup.unit = evaluation::parseMeasuredUnit(unit, base::Spelling::keyword);
    setup.particleSizeScale =
        usda ? estimation::ParticleSizeScale::usda : estimation::ParticleSizeScale::international;
    evaluation::Rows rows;
    rows.soils.count = static_cast<std::size_t>(sand.size());
    rows.soils.inputs = {span(sand), span(silt), span(clay), span(oc)};
    rows.measured = {span(fc), span(pwp), span(awc)};
    rows.density = span(bd);
    evaluation::Outcome outcome;
    {
        const py::gil_scoped_release unlocked;
        evaluation::Evaluation evaluation(std::move(setup));
        evaluation.add(rows);
        outcome = evaluation.outcome();
    }
    py::list out;
    for (const evaluation::Comparison& c : outcome.comparisons) {
        out.append(py::make_tuple(
            std::string(c.model->listText), std::string(c.unit),
            std::string(evaluation::name(c.quantity)), static_cast<std::uint64_t>(c.scores.n),
            number(c.scores.me), number(c.intervals.me.low), number(c.intervals.me.high),
            number(c.scores.mae), number(c.scores.rmse), number(c.intervals.rmse.low),
            number(c.intervals.rmse.high), number(c.scores.r2), number(c.scores.nse)));
    }
    const std::string note = evaluation::misreadMeasuredNote(
        outcome, {.fraction = "measured_unit=\"fraction\" reads them as % v/v (0.26 as 26)",
                  .volume = "measured_unit=\"v/v\" reads them so"});
    return py::make_tuple(out, note);
}

} // namespace talvo::python
