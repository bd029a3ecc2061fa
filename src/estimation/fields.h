#pragma once

// How the pieces fit together:
//
//   ModelCatalogue (catalogue.h)   the seven models: list texts, inputs, unit captions, equations
//   number texts   (number_text.h) text <-> double, the one convention for reading and writing
//   EstimateAction (estimate.h)    one press of Estimate: evaluates a row, writes the captions
//   FormFields     (this file)     the window's named fields as the logic sees them
//
// The actions own nothing: the window (or a batch row) owns every text and hands it over
// through FormFields, so the same code runs behind the desktop window and the batch tool.

#include "estimation/inputs.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace talvo::estimation {

// The two unit captions beside the FC and PWP results.
enum class Unit { fc, pwp };

// System colours by their platform value; the window maps them to real colours.
enum class SystemColour : std::uint32_t {
    inactiveBorder = 0x8000000B, // background of a disabled input box
    highlightText = 0x8000000E,  // background of an enabled input box
};

class FormFields {
public:
    FormFields() = default;
    FormFields(const FormFields&) = delete;
    FormFields& operator=(const FormFields&) = delete;
    virtual ~FormFields() = default;

    // Read
    virtual std::string inputText(Input input) const = 0;
    // Position of the chosen model in the chooser; -1 when none is chosen.
    virtual int modelIndex() const = 0;

    // Read and written
    virtual std::string caption(Result result) const = 0;
    virtual void setCaption(Result result, std::string_view text) = 0;

    // Written
    virtual void setUnitCaption(Unit unit, std::string_view text) = 0;
    virtual void setInputEnabled(Input input, bool enabled) = 0;
    virtual void setInputBackground(Input input, SystemColour colour) = 0;
};

} // namespace talvo::estimation
