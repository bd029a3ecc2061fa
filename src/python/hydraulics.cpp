#include "python/hydraulics.h"

#include "base/options.h"
#include "estimation/estimation.h"
#include "python/interruption.h"
#include "python/profiles.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <string>
#include <string_view>

namespace py = pybind11;

namespace talvo::python {

namespace {

using estimation::HydraulicModel;

// The inputs in the order a failure is looked for, as talvo-batch reads a row's cells.
enum Column : std::uint8_t { sand, silt, clay, organic, bulkDensity, topsoil, columnCount };

struct Cells {
    std::array<const double*, columnCount> data{};
    std::array<bool, columnCount> repeated{}; // one number for every cell
    double at(std::size_t column, std::size_t i) const {
        return data.at(column)[repeated.at(column) ? 0 : i];
    }
};

using estimation::HydraulicColumns;
using estimation::HydraulicSpreadColumns; // with sd

// Each draw runs the model: a few cells between asking for Ctrl+C.
constexpr std::size_t CellsPerPiece = 64;

// Standard deviations of sand, silt, clay and the organic input, in their own units.
// Read through std::optional, which cppcheck does not follow.
struct SpreadRequest {
    // cppcheck-suppress unusedStructMember
    std::array<Numbers, 4> spreads;
    // cppcheck-suppress unusedStructMember
    int draws;
    std::uint64_t seed;
};

struct Outcome {
    estimation::HydraulicNumbers results{};
    estimation::HydraulicInputs inputs{}; // what the draws start from
    std::uint16_t flags = 0;
    int error = 0;
    int stopped = -1; // the column whose missing number stopped the cell
};

int codeOf(estimation::FailureKind kind) {
    return kind == estimation::FailureKind::outOfRange ? OutOfRangeCode
                                                       : static_cast<int>(kind) + 1;
}

// Sand to organic matter: what the first without a number, or beyond the range, makes of
// the cell.
bool unreadable(const std::array<double, columnCount>& numbers, Outcome& out) {
    for (std::size_t column = sand; column <= organic; ++column) {
        if (std::isnan(numbers.at(column))) {
            out.error = MissingCode;
            out.stopped = static_cast<int>(column);
            return true;
        }
        if (std::isinf(numbers.at(column))) {
            out.error = codeOf(estimation::FailureKind::overflow);
            return true;
        }
    }
    return false;
}

// Bulk density and, for HYPRES, the layer, read after the soil as a table's row reads them:
// false with the error set where one is missing or impossible.
bool densityAndLayerRead(bool hypres, const std::array<double, columnCount>& numbers,
                         Outcome& out) {
    for (const Column column : {bulkDensity, topsoil}) {
        const double value = numbers.at(column);
        if (column == topsoil && !hypres) {
            break;
        }
        if (std::isnan(value) && (hypres || column == topsoil)) {
            out.error = MissingCode;
            out.stopped = static_cast<int>(column);
            return false;
        }
        const bool sound = column == bulkDensity
                               ? std::isnan(value) || estimation::soundBulkDensity(value)
                               : value == 0.0 || value == 1.0;
        if (!sound) {
            out.error = OutOfRangeCode;
            return false;
        }
    }
    return true;
}

// The soil as the model reads it: USDA sizes, OM in %, and the density and layer where read;
// false with the error set where the cell has none. A failed conversion is told before a
// density or layer that fails, as in a table's row.
bool readSoil(HydraulicModel model, const std::array<double, columnCount>& numbers,
              bool organicMatter, bool perKilogram, bool usda, estimation::HydraulicSoil& soil,
              Outcome& out) {
    if (unreadable(numbers, out)) {
        return false;
    }
    const bool hypres = model == HydraulicModel::hypres;
    Outcome cellFault;
    const bool read = densityAndLayerRead(hypres, numbers, cellFault);
    estimation::HydraulicInputs& inputs = out.inputs;
    inputs = {
        {numbers[sand], numbers[silt], numbers[clay]},
        numbers[organic],
        usda ? estimation::ParticleSizeScale::usda : estimation::ParticleSizeScale::international,
        perKilogram ? estimation::CarbonUnit::gramsPerKilogram : estimation::CarbonUnit::percent,
        organicMatter};
    inputs.bulkDensity = read ? numbers[bulkDensity] : estimation::NoNumber;
    inputs.topsoil = hypres && numbers[topsoil] == 1.0;
    estimation::Flags flags;
    try {
        soil = estimation::hydraulicSoil(model, inputs, flags);
    } catch (const estimation::Failure& failure) {
        out.error = codeOf(failure.reason().kind);
        return false;
    }
    out.flags = flags.bits();
    if (!read) {
        out.error = cellFault.error;
        out.stopped = cellFault.stopped;
    }
    return read;
}

Outcome hydraulicCell(HydraulicModel model, const std::array<double, columnCount>& numbers,
                      bool organicMatter, bool perKilogram, bool usda, double fcHead) {
    Outcome out;
    out.results.fill(estimation::NoNumber);
    estimation::HydraulicSoil soil{};
    if (!readSoil(model, numbers, organicMatter, perKilogram, usda, soil, out)) {
        return out;
    }
    try {
        const estimation::HydraulicEstimate estimate =
            estimation::estimateHydraulics(model, soil, fcHead);
        out.results = estimation::hydraulicNumbers(estimate);
        out.flags = static_cast<std::uint16_t>(out.flags | estimate.flags.bits());
    } catch (const estimation::Failure& failure) {
        out.error = codeOf(failure.reason().kind);
    }
    return out;
}

HydraulicModel modelNamed(std::string_view text) {
    const std::vector<HydraulicModel> models =
        base::parseHydraulicModels(text, base::Spelling::keyword);
    if (models.size() != 1) {
        throw py::value_error("model: give saxton-rawls or hypres, one at a time");
    }
    return models.front();
}

// Float arrays of `count` cells under the columns' names, and where each cell goes.
template <std::size_t N> struct Columns {
    std::array<py::array_t<double>, N> arrays;
    std::array<double*, N> into{};
    explicit Columns(py::ssize_t count) {
        for (std::size_t r = 0; r < N; ++r) {
            arrays.at(r) = py::array_t<double>(count);
            into.at(r) = arrays.at(r).mutable_data();
        }
    }
    void addTo(py::dict& out, const std::array<estimation::HydraulicColumn, N>& columns) const {
        for (std::size_t r = 0; r < N; ++r) {
            out[py::str(std::string(columns.at(r).name))] = arrays.at(r);
        }
    }
};

// The percentiles of the cell's draws: water in % v/v as the cell's own, Ks in cm/day; NaN
// where the cell failed or its draws could not be made.
void spreadCell(HydraulicModel model, const Outcome& out, const estimation::InputSpread& spread,
                estimation::SoilDraws& draws, double fcHead,
                std::array<double*, HydraulicSpreadColumns.size()>& into, std::size_t i) {
    estimation::HydraulicSpread percentiles{};
    const bool drawn = out.error == 0 && !estimation::propagateHydraulics(
                                             model, out.inputs, spread, draws, fcHead, percentiles);
    const estimation::HydraulicSpreadNumbers values = estimation::hydraulicNumbers(percentiles);
    for (std::size_t p = 0; p < values.size(); ++p) {
        into.at(p)[i] = drawn ? values.at(p) : estimation::NoNumber;
    }
}

// The cells' count, where each input's numbers lie and, with `request`, each spread's;
// throws where sizes differ or the draws are too few or too many.
py::ssize_t cellCount(const std::array<Numbers, columnCount>& given,
                      const std::optional<SpreadRequest>& request, Cells& cells,
                      std::array<const Numbers*, 4>& spreads) {
    if (request &&
        (request->draws < estimation::FewestDraws || request->draws > estimation::MostDraws)) {
        throw py::value_error("draws: give a whole number from " +
                              std::to_string(estimation::FewestDraws) + " to " +
                              std::to_string(estimation::MostDraws));
    }
    py::ssize_t count = 1;
    for (std::size_t column = 0; column < columnCount; ++column) {
        count = given.at(column).size() != 1 ? given.at(column).size() : count;
        cells.data.at(column) = given.at(column).data();
        cells.repeated.at(column) = given.at(column).size() == 1;
    }
    for (const Numbers& numbers : given) {
        if (numbers.size() != 1 && numbers.size() != count) {
            throw py::value_error("inputs of different sizes");
        }
    }
    for (std::size_t s = 0; request && s < spreads.size(); ++s) {
        spreads.at(s) = &request->spreads.at(s);
        if (spreads.at(s)->size() != 1 && spreads.at(s)->size() != count) {
            throw py::value_error("spreads of different sizes");
        }
    }
    return count;
}

// Every input holds one number a cell or one for all; topsoil 1 or 0. Returns a dict of the
// results (% v/v, alpha 1/cm, ks cm/day), with `request` their percentiles, flags, error and
// stopped.
py::dict hydraulicsFlat(std::string_view modelName, const std::array<Numbers, columnCount>& given,
                        bool organicMatter, bool perKilogram, bool usda, double fcHead,
                        const std::optional<SpreadRequest>& request) {
    const HydraulicModel model = modelNamed(modelName);
    if (fcHead != estimation::FieldCapacityHead && fcHead != estimation::WetFieldCapacityHead) {
        throw py::value_error("fc_head must be 330 or 100 (cm)");
    }
    Cells cells;
    std::array<const Numbers*, 4> spreads{};
    const py::ssize_t count = cellCount(given, request, cells, spreads);
    Columns<HydraulicColumns.size()> results(count);
    Columns<HydraulicSpreadColumns.size()> percentiles(request ? count : 0);
    py::array_t<std::uint16_t> flags(count);
    py::array_t<std::int8_t> error(count);
    py::array_t<std::int8_t> stopped(count);
    std::uint16_t* flagBits = flags.mutable_data();
    std::int8_t* errors = error.mutable_data();
    std::int8_t* stops = stopped.mutable_data();
    estimation::SoilDraws draws(request ? estimation::DrawSettings{request->draws, request->seed}
                                        : estimation::DrawSettings{});
    inPieces(
        static_cast<std::size_t>(count), CellsPerPiece, [&](std::size_t first, std::size_t last) {
            for (std::size_t i = first; i < last; ++i) {
                std::array<double, columnCount> numbers{};
                for (std::size_t column = 0; column < columnCount; ++column) {
                    numbers.at(column) = cells.at(column, i);
                }
                const Outcome out =
                    hydraulicCell(model, numbers, organicMatter, perKilogram, usda, fcHead);
                for (std::size_t r = 0; r < HydraulicColumns.size(); ++r) {
                    results.into.at(r)[i] = out.results.at(r);
                }
                flagBits[i] = out.flags;
                errors[i] = static_cast<std::int8_t>(out.error);
                stops[i] = static_cast<std::int8_t>(out.stopped);
                if (request) {
                    estimation::InputSpread spread{};
                    for (std::size_t s = 0; s < spread.size(); ++s) {
                        spread.at(s) = spreads.at(s)->data()[spreads.at(s)->size() == 1 ? 0 : i];
                    }
                    spreadCell(model, out, spread, draws, fcHead, percentiles.into, i);
                }
            }
        });
    py::dict out;
    results.addTo(out, HydraulicColumns);
    if (request) {
        percentiles.addTo(out, HydraulicSpreadColumns);
    }
    out["flags"] = flags;
    out["error"] = error;
    out["stopped"] = stopped;
    return out;
}

} // namespace

void addHydraulics(py::module_& module) {
    module.def(
        "hydraulics_flat",
        [](std::string_view model, const Numbers& sandIn, const Numbers& siltIn,
           const Numbers& clayIn, const Numbers& organicIn, const Numbers& bd, const Numbers& layer,
           bool organicMatter, bool perKilogram, bool usda, double fcHead,
           std::optional<std::array<Numbers, 4>> spreads, int draws, std::uint64_t seed) {
            std::optional<SpreadRequest> request;
            if (spreads) {
                request = SpreadRequest{*spreads, draws, seed};
            }
            return hydraulicsFlat(model, {sandIn, siltIn, clayIn, organicIn, bd, layer},
                                  organicMatter, perKilogram, usda, fcHead, request);
        },
        py::arg("model"), py::arg("sand"), py::arg("silt"), py::arg("clay"), py::arg("organic"),
        py::arg("bd"), py::arg("topsoil"), py::arg("organic_matter"), py::arg("per_kilogram"),
        py::arg("usda"), py::arg("fc_head"), py::arg("spreads") = py::none(),
        py::arg("draws") = estimation::DefaultDraws, py::arg("seed") = estimation::DefaultSeed,
        "{theta_r, theta_s, alpha, n, ks, fc, pwp, awc, with spreads (sand, silt, clay, organic) "
        "fc_p05 ... ks_p95, flags, error, stopped: the input (0 sand to 5 topsoil) whose "
        "missing number stopped a cell, else -1}");
    module.def(
        "hydraulic_model",
        [](std::string_view text) { return std::string(estimation::name(modelNamed(text))); },
        py::arg("text"), "the name of the hydraulic model `text` names");
    module.def(
        "carbon_per_kilogram",
        [](std::string_view text) {
            return base::parseCarbonUnit(text, base::Spelling::keyword) ==
                   estimation::CarbonUnit::gramsPerKilogram;
        },
        py::arg("text"), "whether oc_unit names g/kg rather than %");
    module.def("topsoil_named", &base::topsoilNamed, py::arg("text"),
               "True, False or None for a topsoil cell's text");
}

} // namespace talvo::python
