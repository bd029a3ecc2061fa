#pragma once

#include "estimation/fields.h"
#include "estimation/term.h"

#include <array>
#include <initializer_list>
#include <string_view>

namespace talvo::estimation {

// A subset of the four input boxes.
class InputSet {
public:
    constexpr InputSet(std::initializer_list<Input> inputs) noexcept {
        for (Input input : inputs) {
            m_bits |= bit(input);
        }
    }
    constexpr bool contains(Input input) const noexcept { return (m_bits & bit(input)) != 0; }
    constexpr InputSet& operator|=(InputSet other) noexcept {
        m_bits |= other.m_bits;
        return *this;
    }
    friend constexpr bool operator==(InputSet, InputSet) = default;

private:
    static constexpr unsigned bit(Input input) noexcept {
        return 1U << static_cast<unsigned>(input);
    }
    unsigned m_bits = 0;
};

// The operands of an equation, S, Si, C and OC, each converted from its input text at the
// moment the equation uses it.
class Operands {
public:
    Operands() = default;
    Operands(const Operands&) = delete;
    Operands& operator=(const Operands&) = delete;
    virtual ~Operands() = default;

    Term S() { return read(Input::sand); }
    Term Si() { return read(Input::silt); }
    Term C() { return read(Input::clay); }
    Term OC() { return read(Input::oc); }

protected:
    virtual Term read(Input input) = 0;
};

using Equation = Term (*)(Operands&);

// One row of the catalogue.
struct PtfModel {
    int position;              // ModelIndex, the model's only identity
    std::string_view listText; // as the chooser shows it
    InputSet enabledInputs;    // boxes enabled when the model is chosen
    InputSet readInputs;       // inputs its equations convert
    std::string_view fcUnit;   // caption of unitfc
    std::string_view pwpUnit;  // caption of unitpwp
    Equation fc;
    Equation pwp;
    bool gravimetric; // w/w flag: VolumeFactor enters the available water
};

inline constexpr double VolumeFactor = 1.49; // bulk density turning % w/w into % v/v
inline constexpr double PercentDivisor = 100.0;
inline constexpr double LayerDepth = 150.0; // millimetres in a 15 cm layer

inline constexpr int ModelCount = 7;
extern const std::array<PtfModel, ModelCount> ModelCatalogue;

// The row at a ModelIndex, or nullptr when the index chooses no model.
const PtfModel* modelAt(int modelIndex) noexcept;

// Available water of a 15 cm layer in mm from FC and PWP: ((F - P) / 100) x 1.49 x 150 for
// gravimetric models, ((F - P) / 100) x 150 for the others, left to right.
Term availableWater(const PtfModel& model, Term fc, Term pwp);

} // namespace talvo::estimation
