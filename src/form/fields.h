#pragma once

// The form behind a window, as its logic sees it: the window owns every text and control,
// and hands them over through FormFields, so that the same actions (actions.h) run behind
// the desktop window and a browser page alike.

#include "estimation/estimation.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace talvo::form {

// The two unit captions beside the FC and PWP results.
enum class Unit { fc, pwp };

// System colours by their platform value; each front end maps them to real colours.
enum class SystemColour : std::uint32_t {
    inactiveBorder = 0x8000000B, // background of a disabled input box
    highlightText = 0x8000000E,  // background of an enabled input box
};

// The named fields of the form.
class FormFields {
public:
    FormFields() = default;
    FormFields(const FormFields&) = delete;
    FormFields& operator=(const FormFields&) = delete;
    virtual ~FormFields() = default;

    // Read
    virtual std::string inputText(estimation::Input input) const = 0;
    // Position of the chosen model in the chooser; -1 when none is chosen.
    virtual int modelIndex() const = 0;
    // The scale sand, silt and clay are typed on. The models read the international one; a
    // form that offers the USDA one converts, as the soil's details and the tools do.
    virtual estimation::ParticleSizeScale particleSizeScale() const = 0;

    // Read and written
    virtual std::string caption(estimation::Result result) const = 0;
    virtual void setCaption(estimation::Result result, std::string_view text) = 0;

    // Written
    virtual void setUnitCaption(Unit unit, std::string_view text) = 0;
    virtual void setInputEnabled(estimation::Input input, bool enabled) = 0;
    virtual void setInputBackground(estimation::Input input, SystemColour colour) = 0;
};

} // namespace talvo::form
