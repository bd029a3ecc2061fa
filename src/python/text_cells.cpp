#include "python/text_cells.h"

#include "estimation/estimation.h"
#include "python/interruption.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>

namespace py = pybind11;

namespace talvo::python {

namespace {

using estimation::NoNumber;

// Cells read between two asks for Ctrl+C: a few milliseconds.
constexpr std::size_t CellsPerPiece = std::size_t{1} << 16;
// With the GIL held, asking costs next to nothing.
constexpr std::size_t ObjectsPerCheck = std::size_t{1} << 12;

// A code point as UTF-8, the form estimate_texts hands the engine a str in. Beyond Unicode's
// range (numpy stores whatever it is given) the replacement character stands in: no number
// either way.
void appendUtf8(std::string& out, char32_t point) {
    const auto byte = [](char32_t bits) { return static_cast<char>(bits); };
    if (point < 0x80) {
        out += byte(point);
    } else if (point < 0x800) {
        out += byte(0xC0 | (point >> 6));
        out += byte(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        out += byte(0xE0 | (point >> 12));
        out += byte(0x80 | ((point >> 6) & 0x3F));
        out += byte(0x80 | (point & 0x3F));
    } else if (point < 0x110000) {
        out += byte(0xF0 | (point >> 18));
        out += byte(0x80 | ((point >> 12) & 0x3F));
        out += byte(0x80 | ((point >> 6) & 0x3F));
        out += byte(0x80 | (point & 0x3F));
    } else {
        appendUtf8(out, 0xFFFD);
    }
}

// The number a text stands for, as estimateCell reads numbers back: its value; NaN where it
// holds none (a type mismatch); an infinity where it lies beyond the double range (an
// overflow).
double textNumber(std::string_view text, estimation::DecimalSeparator separator) {
    const estimation::InputValue value = estimation::inputValue(text, separator);
    if (!value.failure) {
        return value.number;
    }
    return *value.failure == estimation::FailureKind::overflow ? HUGE_VAL : NoNumber;
}

// A text's number; `mismatched` says whether it held something that is no number, as a
// table's "Type mismatch" does, rather than nothing at all, its "Missing".
double readText(std::string_view text, estimation::DecimalSeparator separator,
                std::uint8_t& mismatched) {
    const double number = textNumber(text, separator);
    mismatched = std::isnan(number) && !estimation::missingText(text) ? 1 : 0;
    return number;
}

// numpy's fixed-width texts: each cell `itemSize` bytes, padded with NULs that numpy does not
// count as part of the text.
struct FixedTexts {
    const char* data;
    std::size_t itemSize;
    bool wide; // UCS-4 code points, not bytes

    std::string_view at(std::size_t cell, std::string& utf8) const {
        const char* item = data + cell * itemSize;
        if (!wide) {
            std::size_t size = itemSize;
            while (size > 0 && item[size - 1] == '\0') {
                --size;
            }
            return {item, size};
        }
        std::size_t points = itemSize / sizeof(char32_t);
        const auto point = [item](std::size_t i) {
            char32_t value = 0; // numpy does not promise alignment
            std::memcpy(&value, item + i * sizeof(char32_t), sizeof(value));
            return value;
        };
        while (points > 0 && point(points - 1) == 0) {
            --points;
        }
        utf8.clear();
        for (std::size_t i = 0; i < points; ++i) {
            appendUtf8(utf8, point(i));
        }
        return utf8;
    }
};

CellNumbers fixedTextNumbers(const FixedTexts& texts, std::size_t count,
                             estimation::DecimalSeparator separator) {
    const auto size = static_cast<py::ssize_t>(count);
    CellNumbers cells{py::array_t<double>(size), py::array_t<std::uint8_t>(size)};
    double* out = cells.numbers.mutable_data();
    std::uint8_t* mismatched = cells.mismatched.mutable_data();
    inPieces(count, CellsPerPiece, [&](std::size_t first, std::size_t last) {
        std::string utf8;
        for (std::size_t i = first; i < last; ++i) {
            out[i] = readText(texts.at(i, utf8), separator, mismatched[i]);
        }
    });
    return cells;
}

// An int past the double range is an overflow, as its digits typed would be.
double intNumber(PyObject* cell) {
    const double value = PyLong_AsDouble(cell);
    if (value == -1.0 && PyErr_Occurred() != nullptr) {
        if (PyErr_ExceptionMatches(PyExc_OverflowError) == 0) {
            throw py::error_already_set();
        }
        PyErr_Clear();
        return HUGE_VAL;
    }
    return value;
}

double objectNumber(PyObject* cell, estimation::DecimalSeparator separator,
                    const py::function& other, std::uint8_t& mismatched) {
    mismatched = 0;
    if (cell == Py_None) {
        return NoNumber;
    }
    if (PyFloat_Check(cell)) {
        return PyFloat_AS_DOUBLE(cell);
    }
    if (PyUnicode_Check(cell)) {
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(cell, &size);
        if (utf8 == nullptr) { // a lone surrogate: no number, as in a numpy text array
            PyErr_Clear();
            mismatched = 1;
            return NoNumber;
        }
        return readText({utf8, static_cast<std::size_t>(size)}, separator, mismatched);
    }
    if (PyBytes_Check(cell)) {
        return readText({PyBytes_AS_STRING(cell), static_cast<std::size_t>(PyBytes_GET_SIZE(cell))},
                        separator, mismatched);
    }
    if (PyLong_Check(cell) && !PyBool_Check(cell)) {
        return intNumber(cell);
    }
    return other(py::handle(cell)).cast<double>();
}

// With the GIL held throughout: each cell may be any Python object.
CellNumbers objectNumbers(const py::array& cells, estimation::DecimalSeparator separator,
                          const py::function& other) {
    const auto count = static_cast<std::size_t>(cells.size());
    CellNumbers numbers{py::array_t<double>(cells.size()), py::array_t<std::uint8_t>(cells.size())};
    double* out = numbers.numbers.mutable_data();
    std::uint8_t* mismatched = numbers.mismatched.mutable_data();
    const auto* in = static_cast<PyObject* const*>(cells.data());
    for (std::size_t first = 0; first < count; first += ObjectsPerCheck) {
        if (PyErr_CheckSignals() != 0) {
            throw py::error_already_set();
        }
        const std::size_t last = std::min(count, first + ObjectsPerCheck);
        for (std::size_t i = first; i < last; ++i) {
            out[i] = objectNumber(in[i], separator, other, mismatched[i]);
        }
    }
    return numbers;
}

} // namespace

CellNumbers cellNumbers(const py::array& cells, estimation::DecimalSeparator separator,
                        const py::function& other) {
    if ((cells.flags() & py::array::c_style) == 0) {
        throw py::value_error("cells must be contiguous");
    }
    const py::dtype dtype = cells.dtype();
    const char kind = dtype.kind();
    if (kind == 'O') {
        return objectNumbers(cells, separator, other);
    }
    if ((kind != 'S' && kind != 'U') || (dtype.byteorder() != '=' && dtype.byteorder() != '|')) {
        throw py::type_error("cells must be texts in the machine's byte order, or objects");
    }
    const FixedTexts texts{static_cast<const char*>(cells.data()),
                           static_cast<std::size_t>(dtype.itemsize()), kind == 'U'};
    return fixedTextNumbers(texts, static_cast<std::size_t>(cells.size()), separator);
}

} // namespace talvo::python
