// talvo._talvo: the engine's value API for numpy. The package talvo/ gives it its Python face:
// model names, broadcasting, omitted inputs and xarray.

#include "base/options.h"
#include "estimation/estimation.h"
#include "evaluation/options.h"
#include "python/arrays.h"
#include "python/evaluate.h"
#include "python/hydraulics.h"
#include "python/input_columns.h"
#include "python/interruption.h"
#include "python/profiles.h"
#include "python/spreads.h"
#include "python/text_cells.h"
#include "python/texts.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <optional>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace py = pybind11;

namespace talvo::python {

namespace {

// Cells a loop over whole arrays takes between asking for Ctrl+C: some 100 ns a cell at most
// (a float32's text), a few milliseconds a piece.
constexpr std::size_t CellsPerPiece = std::size_t{1} << 16;

// The model at `position`; ValueError for none.
const estimation::PtfModel& modelAtPosition(int position) {
    const estimation::PtfModel* model = estimation::modelAt(position);
    if (model == nullptr) {
        throw py::value_error("no model at position " + std::to_string(position));
    }
    return *model;
}

estimation::ParticleSizeScale scaleOf(bool usda) {
    return usda ? estimation::ParticleSizeScale::usda
                : estimation::ParticleSizeScale::international;
}

// Inputs hold one number each or one a cell: the count of cells.
py::ssize_t cellCount(std::initializer_list<const Numbers*> given) {
    py::ssize_t count = 1;
    for (const Numbers* numbers : given) {
        count = numbers->size() != 1 ? numbers->size() : count;
    }
    return count;
}

py::list models() {
    py::list out;
    for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
        py::list inputs;
        for (const estimation::Input input : estimation::allInputs) {
            if (model.readInputs.contains(input)) {
                inputs.append(py::str(std::string(estimation::name(input))));
            }
        }
        out.append(py::make_tuple(model.position, std::string(model.listText), py::tuple(inputs),
                                  std::string(model.unit)));
    }
    return out;
}

py::list flags() {
    py::list out;
    for (const estimation::Flag flag : estimation::allFlags) {
        out.append(py::make_tuple(std::string(estimation::code(flag)), estimation::Flags::bit(flag),
                                  std::string(estimation::sentence(flag))));
    }
    return out;
}

// The module's error codes: the engine's failure column (1 + FailureKind), its type mismatch
// split as a table's error column words it. 1 stays a cell with no number at all, which
// callers have long read as 1; a text that holds something that is no number gets 4, so out
// of range, whose 1 + kind is 4 too, gets 5.
py::list errors() {
    py::list out;
    out.append(py::make_tuple(MissingCode, "Missing"));
    for (const auto kind :
         {estimation::FailureKind::divisionByZero, estimation::FailureKind::overflow,
          estimation::FailureKind::typeMismatch, estimation::FailureKind::outOfRange}) {
        const int code = kind == estimation::FailureKind::typeMismatch ? TypeMismatchCode
                         : kind == estimation::FailureKind::outOfRange ? OutOfRangeCode
                                                                       : static_cast<int>(kind) + 1;
        out.append(py::make_tuple(code, std::string(estimation::describe(kind))));
    }
    return out;
}

// The position of the model `text` names as the tools read --model; ValueError with their
// words for an unknown or ambiguous name.
int modelNamed(const std::string& text) {
    std::string message;
    const estimation::PtfModel* model = base::modelNamed(text, message);
    if (model == nullptr) {
        throw py::value_error(message);
    }
    return model->position;
}

// For soils that failed for want of a number: the input (0 sand to 3 oc) the model stopped
// at, as a table's error column names it; -1 where it stopped at none. Inputs as for
// estimate_flat, one number or one a soil.
py::array_t<std::int8_t> failedInputs(int position, const Numbers& sand, const Numbers& silt,
                                      const Numbers& clay, const Numbers& oc, bool usda) {
    const estimation::PtfModel& model = modelAtPosition(position);
    const py::ssize_t count = cellCount({&sand, &silt, &clay, &oc});
    const auto at = [](const Numbers& numbers, py::ssize_t i) {
        return numbers.size() == 1 ? numbers.data()[0] : numbers.data()[i];
    };
    py::array_t<std::int8_t> out(count);
    std::int8_t* inputs = out.mutable_data();
    for (py::ssize_t i = 0; i < count; ++i) {
        const estimation::SoilEstimate estimate = estimation::estimateSoil(
            model, estimation::inputNumbers(at(sand, i), at(silt, i), at(clay, i), at(oc, i)),
            Precision::general, scaleOf(usda));
        const std::optional<estimation::FailureReason>& failure = estimate.failure();
        inputs[i] = static_cast<std::int8_t>(
            failure && failure->input ? static_cast<int>(*failure->input) : -1);
    }
    return out;
}

py::list textureClasses() {
    py::list out;
    for (const estimation::TextureClass texture : estimation::allTextureClasses) {
        out.append(py::str(std::string(estimation::name(texture))));
    }
    return out;
}

// Flat runs of cells: every input holds `count` numbers or one. The loop runs without the GIL
// on buffers owned by the arrays held here; after Ctrl+C, the part-filled results are let go.
py::tuple estimateFlat(int position, const Numbers& sand, const Numbers& silt, const Numbers& clay,
                       const Numbers& oc, bool general, unsigned threads, bool usda) {
    const estimation::PtfModel& model = modelAtPosition(position);
    const std::array<const Numbers*, 4> given{&sand, &silt, &clay, &oc};
    const py::ssize_t count = cellCount({&sand, &silt, &clay, &oc});
    InputColumns inputs{};
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (given.at(i)->size() != 1 && given.at(i)->size() != count) {
            throw py::value_error("inputs of different sizes");
        }
        inputs.at(i) = {given.at(i)->data(), given.at(i)->size() == 1};
    }
    py::array_t<double> fc(count);
    py::array_t<double> pwp(count);
    py::array_t<double> awc(count);
    py::array_t<std::uint16_t> flagBits(count);
    py::array_t<std::uint8_t> texture(count);
    py::array_t<std::int8_t> error(count);
    const OutputColumns outputs{fc.mutable_data(),      pwp.mutable_data(),
                                awc.mutable_data(),     flagBits.mutable_data(),
                                texture.mutable_data(), error.mutable_data()};
    Interruption interruption;
    {
        const py::gil_scoped_release unlocked;
        estimateCells(
            model, inputs, outputs, static_cast<std::size_t>(count),
            general ? Precision::general : Precision::fixed,
            [&interruption] { return interruption.requested(); }, threads, scaleOf(usda));
    }
    interruption.raiseIfRequested();
    return py::make_tuple(fc, pwp, awc, flagBits, texture, error);
}

// A float32 stands for the shortest text that reads back to it ("52.3", not
// 52.299999237060547): each becomes the double that text reads to.
py::array_t<double>
widenFloat32(const py::array_t<float, py::array::c_style | py::array::forcecast>& numbers) {
    py::array_t<double> out(numbers.size());
    const float* in = numbers.data();
    double* wide = out.mutable_data();
    estimation::RecentFloatTexts floatTexts;
    inPieces(static_cast<std::size_t>(numbers.size()), CellsPerPiece,
             [&](std::size_t first, std::size_t last) {
                 for (std::size_t i = first; i < last; ++i) {
                     wide[i] = floatTexts.of(in[i]);
                 }
             });
    return out;
}

py::list textureClassesOf(bool usda) {
    py::list numbers;
    for (const estimation::TextureClass texture : estimation::textureClasses(scaleOf(usda))) {
        numbers.append(static_cast<int>(texture));
    }
    return numbers;
}

// The engine's rule over cells; a column of one value stands for every cell.
py::object contentUnit(const Numbers& sand, const Numbers& silt, const Numbers& clay) {
    const std::array<const Numbers*, 3> given{&sand, &silt, &clay};
    const py::ssize_t count = cellCount({&sand, &silt, &clay});
    // Read without the GIL: pointers, and a step of 0 for a column of one value.
    std::array<std::pair<const double*, std::size_t>, 3> columns{};
    for (std::size_t input = 0; input < given.size(); ++input) {
        columns.at(input) = {given.at(input)->data(), given.at(input)->size() == 1 ? 0U : 1U};
    }
    const auto at = [&columns](std::size_t input, std::size_t i) {
        return columns.at(input).first[i * columns.at(input).second];
    };
    estimation::ContentUnitTally tally;
    // Over a large array this takes as long as the estimate: Ctrl+C must stop it too.
    inPieces(static_cast<std::size_t>(count), CellsPerPiece,
             [&](std::size_t first, std::size_t last) {
                 for (std::size_t i = first; i < last; ++i) {
                     tally.add(at(0, i), at(1, i), at(2, i));
                 }
             });
    const std::optional<estimation::ContentUnit> unit = tally.misread();
    if (!unit) {
        return py::none();
    }
    return py::make_tuple(*unit == estimation::ContentUnit::fraction ? "1" : "g/kg",
                          tally.looking(*unit), tally.judged(*unit));
}

// OC given in `unit` as the model reads it.
py::array_t<double> carbonFor(int position, const Numbers& oc, const std::string& unit) {
    const estimation::CarbonUnit given = base::parseCarbonUnit(unit, base::Spelling::keyword);
    const estimation::PtfModel& model = modelAtPosition(position);
    py::array_t<double> out(oc.size());
    double* read = out.mutable_data();
    for (py::ssize_t i = 0; i < oc.size(); ++i) {
        read[i] = estimation::carbonFor(model, given, oc.data()[i]);
    }
    return out;
}

// The engine's line when the model read OC above its calibration; None otherwise.
py::object carbonNote(int position, const Numbers& oc, const std::string& remedy) {
    const estimation::PtfModel& model = modelAtPosition(position);
    estimation::ContentUnitTally tally;
    for (py::ssize_t i = 0; i < oc.size(); ++i) {
        tally.addCarbon(model, oc.data()[i]);
    }
    const std::string note = tally.carbonNote(model, "soils", remedy);
    return note.empty() ? py::object(py::none()) : py::object(py::str(note));
}

py::array_t<double> shiftDecimal(const Numbers& numbers, int places) {
    py::array_t<double> out(numbers.size());
    const double* in = numbers.data();
    double* shifted = out.mutable_data();
    inPieces(static_cast<std::size_t>(numbers.size()), CellsPerPiece,
             [&](std::size_t first, std::size_t last) {
                 for (std::size_t i = first; i < last; ++i) {
                     shifted[i] = estimation::shiftedDecimal(in[i], places);
                 }
             });
    return out;
}

// Throws ValueError for a separator a table could not be written with, as --decimal does.
estimation::DecimalSeparator separatorOf(const std::string& decimal) {
    std::string message;
    const std::optional<estimation::DecimalSeparator> separator =
        base::decimalNamed(decimal, message);
    if (!separator) {
        throw py::value_error("decimal " + message);
    }
    return *separator;
}

py::tuple readTexts(const py::array& cells, const std::string& decimal, const py::function& other) {
    const CellNumbers read = cellNumbers(cells, separatorOf(decimal), other);
    return py::make_tuple(read.numbers, read.mismatched);
}

py::dict estimateTextsFor(int position, const std::string& sand, const std::string& silt,
                          const std::string& clay, const std::string& oc,
                          const std::string& decimal) {
    const SoilTexts texts =
        estimateTexts(modelAtPosition(position), {sand, silt, clay, oc}, separatorOf(decimal));
    py::dict out;
    py::dict general;
    for (const estimation::Result result :
         {estimation::Result::fc, estimation::Result::pwp, estimation::Result::awc}) {
        const auto i = static_cast<std::size_t>(result);
        const py::str key(std::string(estimation::name(result)));
        out[key] = texts.captions.at(i);
        general[key] = texts.general.at(i);
    }
    out["general"] = general;
    out["failure"] = texts.failure ? py::object(py::str(*texts.failure)) : py::object(py::none());
    return out;
}

// The options the package shares with the tools: their rules, and their messages with the
// options named as keywords. Each gives what the package passes on: a flag, or the number.
void addOptions(py::module_& m) {
    constexpr base::Spelling keyword = base::Spelling::keyword;
    m.def("general", [](std::string_view text) {
        return base::parsePrecision(text, keyword) == Precision::general;
    });
    m.def("usda", [](std::string_view text) {
        return base::parseParticleSizeScale(text, keyword) == estimation::ParticleSizeScale::usda;
    });
    m.def("by_weight", [](std::string_view text) {
        return base::parseCoarseFragmentBasis(text, keyword) ==
               estimation::CoarseFragmentBasis::weight;
    });
    m.def("root_depth", [](double depth) { return base::checkRootDepth(depth, keyword); });
    m.def("depletion", [](double share) { return base::checkDepletion(share, keyword); });
    m.def("check_measured_unit",
          [](std::string_view text) { evaluation::parseMeasuredUnit(text, keyword); });
    // A value the tools would refuse is a ValueError here, with their words.
    // NOLINTNEXTLINE(performance-unnecessary-value-param): pybind11's translator takes it so
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) {
                std::rethrow_exception(thrown);
            }
        } catch (const base::Error& error) {
            PyErr_SetString(PyExc_ValueError, error.what());
        }
    });
}

} // namespace

} // namespace talvo::python

PYBIND11_MODULE(_talvo, m) {
    using namespace talvo::python;
    m.doc() = "The TALVO estimation engine on flat numpy arrays; use the package talvo.";
    m.def("models", &models, "(position, list text, inputs read, unit) for each model");
    m.def("flags", &flags, "(code, bit mask, sentence) for each plausibility flag");
    m.def("errors", &errors, "(code, text) for each failure kind");
    m.attr("MISSING") = MissingCode;
    m.attr("TYPE_MISMATCH") = TypeMismatchCode;
    m.attr("OUT_OF_RANGE") = OutOfRangeCode;
    m.def("model_named", &modelNamed, py::arg("text"),
          "the position of the model a position, a name or its unique beginning names, in any "
          "case");
    m.def("failed_inputs", &failedInputs, py::arg("position"), py::arg("sand"), py::arg("silt"),
          py::arg("clay"), py::arg("oc"), py::arg("usda") = false);
    m.def("texture_classes", &textureClasses, "texture class names in class order");
    m.attr("NO_TEXTURE") = talvo::estimation::NoTexture;
    m.attr("__version__") = TALVO_VERSION;
    m.def("estimate_flat", &estimateFlat, py::arg("position"), py::arg("sand"), py::arg("silt"),
          py::arg("clay"), py::arg("oc"), py::arg("general"), py::arg("threads") = 0U,
          py::arg("usda") = false);
    m.def("evaluate_columns", &evaluateColumns, py::arg("positions"), py::arg("sand"),
          py::arg("silt"), py::arg("clay"), py::arg("oc"), py::arg("fc"), py::arg("pwp"),
          py::arg("awc"), py::arg("bd"), py::arg("unit"), py::arg("usda") = false,
          "(rows of the metrics table, line on a misread unit) of models against measured "
          "columns");
    m.def("texture_classes_of", &textureClassesOf, py::arg("usda"),
          "the class numbers of one triangle, in class order");
    m.def("content_unit", &contentUnit, py::arg("sand"), py::arg("silt"), py::arg("clay"),
          "(unit, cells that look so, cells judged) when most cells look like fractions of 1 "
          "or g/kg; None when they look like percent");
    m.def("carbon_for", &carbonFor, py::arg("position"), py::arg("oc"), py::arg("unit"),
          "OC given in unit ('g/kg' or '%') as the model at position reads it");
    m.def("carbon_note", &carbonNote, py::arg("position"), py::arg("oc"), py::arg("remedy"),
          "the line when the model reads OC above its calibration, else None");
    m.def("shift_decimal", &shiftDecimal, py::arg("numbers"), py::arg("places"),
          "each number's shortest text with its decimal point moved right by `places`, read "
          "back: 0.07 shifted by 2 is 7 exactly");
    m.def("widen_float32", &widenFloat32, py::arg("numbers"));
    m.def("read_texts", &readTexts, py::arg("cells"), py::arg("decimal"), py::arg("other"),
          "a flat array of texts or objects as (float64: NaN where no number, inf past the "
          "range; uint8: 1 where a text holds something that is no number)");
    m.def(
        "check_decimal", [](const std::string& decimal) { separatorOf(decimal); },
        py::arg("decimal"));
    m.def("profile_water", &profileWater, py::arg("position"), py::arg("fc"), py::arg("pwp"),
          py::arg("bd"), py::arg("cf"), py::arg("top"), py::arg("bottom"), py::arg("profile"),
          py::arg("profiles"), py::arg("root_depth"), py::arg("depletion"), py::arg("cf_by_weight"),
          py::arg("measured_fc"), py::arg("measured_pwp"),
          "((depth, taw_0_30, taw_0_100, taw_root, raw_root, flag bits) per profile, "
          "(theta_fc, theta_pwp, aw_mm, flag bits bd, porosity, measured and fc<=pwp) per "
          "horizon); measured FC and PWP in % by volume, NaN where not measured");
    m.def("estimate_texts", &estimateTextsFor, py::arg("position"), py::arg("sand"),
          py::arg("silt"), py::arg("clay"), py::arg("oc"), py::arg("decimal"));
    addInputColumns(m);
    addHydraulics(m);
    addSpreads(m);
    addOptions(m);
}
