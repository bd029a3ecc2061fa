#include "python/spreads.h"

#include "base/options.h"
#include "base/result_spreads.h"
#include "estimation/estimation.h"
#include "python/interruption.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <string>
#include <utility>

namespace py = pybind11;

namespace talvo::python {

namespace {

using Numbers = py::array_t<double, py::array::c_style | py::array::forcecast>;
using Errors = py::array_t<std::int8_t, py::array::c_style | py::array::forcecast>;

// Each draw runs the model: a few hundred cells between asking for Ctrl+C.
constexpr std::size_t CellsPerPiece = 256;

struct SpreadRequest {
    int position;
    bool general;
    bool usda;
    std::optional<std::string> ocUnit; // OC and its spread, before the model's unit
    int draws;
    std::uint64_t seed;
};

// Inputs and spreads as estimate_flat takes them, one number or one a cell; `error` is
// estimate_flat's, whose failed cells get NaN, as does a cell whose draws cannot be made.
py::tuple estimateSpreads(const std::array<Numbers, 4>& inputs,
                          const std::array<Numbers, 4>& spreads, const Errors& error,
                          const SpreadRequest& request) {
    const estimation::PtfModel* const model = estimation::modelAt(request.position);
    if (model == nullptr) {
        throw py::value_error("no model at position " + std::to_string(request.position));
    }
    if (request.draws < estimation::FewestDraws || request.draws > estimation::MostDraws) {
        throw py::value_error("draws: give a whole number from " +
                              std::to_string(estimation::FewestDraws) + " to " +
                              std::to_string(estimation::MostDraws));
    }
    std::optional<estimation::CarbonUnit> unit;
    if (request.ocUnit) {
        unit = base::parseCarbonUnit(*request.ocUnit, base::Spelling::keyword);
    }
    const auto count = static_cast<std::size_t>(error.size());
    for (const Numbers& numbers : inputs) {
        if (numbers.size() != 1 && static_cast<std::size_t>(numbers.size()) != count) {
            throw py::value_error("inputs of different sizes");
        }
    }
    for (const Numbers& numbers : spreads) {
        if (numbers.size() != 1 && static_cast<std::size_t>(numbers.size()) != count) {
            throw py::value_error("spreads of different sizes");
        }
    }
    std::array<py::array_t<double>, base::SpreadNames.size()> out;
    std::array<double*, base::SpreadNames.size()> columns{};
    for (std::size_t p = 0; p < out.size(); ++p) {
        out.at(p) = py::array_t<double>(static_cast<py::ssize_t>(count));
        columns.at(p) = out.at(p).mutable_data();
    }
    const auto at = [](const Numbers& numbers, std::size_t i) {
        return numbers.size() == 1 ? numbers.data()[0] : numbers.data()[i];
    };
    const estimation::Precision precision =
        request.general ? estimation::Precision::general : estimation::Precision::fixed;
    base::ResultSpreads results(request.usda ? estimation::ParticleSizeScale::usda
                                             : estimation::ParticleSizeScale::international,
                                unit, {request.draws, request.seed});
    inPieces(count, CellsPerPiece, [&](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i) {
            estimation::InputValues soil;
            estimation::InputSpread spread{};
            for (std::size_t input = 0; input < soil.size(); ++input) {
                soil.at(input) = {at(inputs.at(input), i), std::nullopt};
                spread.at(input) = at(spreads.at(input), i);
            }
            base::SpreadOutcome outcome;
            outcome.failure = "the cell failed";
            if (error.data()[i] == 0) {
                outcome = results.of(*model, soil, spread);
            }
            for (std::size_t p = 0; p < columns.size(); ++p) {
                columns.at(p)[i] = outcome.failure.empty()
                                       ? base::writtenNumber(outcome.results.at(p), precision)
                                       : estimation::NoNumber;
            }
        }
    });
    py::tuple tuple(out.size());
    for (std::size_t p = 0; p < out.size(); ++p) {
        tuple[p] = out.at(p);
    }
    return tuple;
}

} // namespace

void addSpreads(py::module_& module) {
    module.attr("DEFAULT_DRAWS") = estimation::DefaultDraws;
    module.attr("DEFAULT_SEED") = estimation::DefaultSeed;
    module.def(
        "estimate_spreads",
        [](int position, const std::array<Numbers, 4>& inputs,
           const std::array<Numbers, 4>& spreads, const Errors& error, bool general, bool usda,
           std::optional<std::string> ocUnit, int draws, std::uint64_t seed) {
            return estimateSpreads(inputs, spreads, error,
                                   {position, general, usda, std::move(ocUnit), draws, seed});
        },
        py::arg("position"), py::arg("inputs"), py::arg("spreads"), py::arg("error"),
        py::arg("general"), py::arg("usda"), py::arg("oc_unit"), py::arg("draws"), py::arg("seed"),
        "fc_p05, fc_p50, fc_p95, pwp_p05, ... awc_p95 over soils drawn around each cell");
}

} // namespace talvo::python
