#pragma once

// The forms an equation of the catalogue takes, and what the quick paths share with it.

#include "estimation/detail/lanes.h"
#include "estimation/detail/term.h"
#include "estimation/estimation.h"

namespace talvo::estimation::detail {

// The operands S, Si, C and OC of an equation as doubles: the quick form, for inputs that
// all converted and results that stay finite.
class DoubleOperands {
public:
    explicit DoubleOperands(const InputValues& inputs) noexcept : m_inputs(inputs) {}
    double S() const noexcept { return read(Input::sand); }
    double Si() const noexcept { return read(Input::silt); }
    double C() const noexcept { return read(Input::clay); }
    double OC() const noexcept { return read(Input::oc); }

private:
    double read(Input input) const noexcept { return at(m_inputs, input).number; }
    const InputValues& m_inputs;
};

// The operands of LaneCount soils at once, for soils that arrive as numbers.
class LaneOperands {
public:
    explicit LaneOperands(const InputLanes& inputs) noexcept : m_inputs(inputs) {}
    const Lanes& S() const noexcept { return read(Input::sand); }
    const Lanes& Si() const noexcept { return read(Input::silt); }
    const Lanes& C() const noexcept { return read(Input::clay); }
    const Lanes& OC() const noexcept { return read(Input::oc); }

private:
    const Lanes& read(Input input) const noexcept {
        return m_inputs[static_cast<std::size_t>(input)];
    }
    const InputLanes& m_inputs;
};

// The same operands as checked terms: reading an input that did not convert fails there,
// and every step of the equation checks its result. Finds the first failure, in the order
// the equation meets it, and keeps it in `record`.
class CheckedOperands {
public:
    CheckedOperands(const InputValues& inputs, Term::Record& record) noexcept
        : m_inputs(inputs), m_record(record) {}
    Term S() const noexcept { return read(Input::sand); }
    Term Si() const noexcept { return read(Input::silt); }
    Term C() const noexcept { return read(Input::clay); }
    Term OC() const noexcept { return read(Input::oc); }

private:
    Term read(Input input) const noexcept;
    const InputValues& m_inputs;
    Term::Record& m_record;
};

inline constexpr double LayerDepth = 150.0; // millimetres in a 15 cm layer

// What turns the model's % into % by volume: VolumeFactor for gravimetric models, else 1.
inline constexpr double volumeFactor(bool gravimetric) noexcept {
    return gravimetric ? VolumeFactor : 1.0;
}

// Available water of a 15 cm layer in mm from FC and PWP: ((F - P) / 100) x 1.49 x 150 for
// gravimetric models, ((F - P) / 100) x 150 for the others, left to right. Not finite when a
// step overflows. Inline, and with the model's kind as a value that a loop over lanes can
// hold: the quick paths run it once per soil.
inline double availableWater(bool gravimetric, double fc, double pwp) noexcept {
    const double depth = (fc - pwp) / PercentDivisor;
    // Multiplying by 1 is exact: the others get depth x 150 to the bit, without a branch.
    return depth * volumeFactor(gravimetric) * LayerDepth;
}
inline double availableWater(const PtfModel& model, double fc, double pwp) noexcept {
    return availableWater(model.gravimetric, fc, pwp);
}

} // namespace talvo::estimation::detail

namespace talvo::estimation {

// The double form as noexcept, which arithmetic on doubles is: the browser's build would
// otherwise make every call of it, twice a row, a trip through JavaScript.
template <typename Lambda>
constexpr Equation::Equation(Lambda lambda) noexcept
    : doubles([](const detail::DoubleOperands& x) noexcept { return Lambda{}(x); }),
      checked(lambda), lanes(lambda) {}

} // namespace talvo::estimation
