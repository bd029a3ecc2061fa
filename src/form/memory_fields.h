#pragma once

#include "form/fields.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace talvo::form {

// The form's fields in memory: for a front end that hands its texts over and takes the
// results back (the browser page), and for driving the actions in tests. Starts as the
// window does: boxes disabled and grey, holding one blank; no model; empty captions.
class MemoryFields final : public FormFields {
public:
    using Input = estimation::Input;
    using Result = estimation::Result;

    MemoryFields() = default;
    MemoryFields(int modelIndex, std::string sand, std::string silt, std::string clay,
                 std::string oc)
        : m_modelIndex(modelIndex), m_inputs{std::move(sand), std::move(silt), std::move(clay),
                                             std::move(oc)} {}

    void setModelIndex(int index) { m_modelIndex = index; }
    void setParticleSizeScale(estimation::ParticleSizeScale scale) { m_scale = scale; }
    void setInputText(Input input, std::string text) { m_inputs[at(input)] = std::move(text); }
    std::string unitCaption(Unit unit) const { return m_units[at(unit)]; }
    bool inputEnabled(Input input) const { return m_enabled[at(input)]; }
    SystemColour inputBackground(Input input) const { return m_backgrounds[at(input)]; }

    std::string inputText(Input input) const override { return m_inputs[at(input)]; }
    int modelIndex() const override { return m_modelIndex; }
    estimation::ParticleSizeScale particleSizeScale() const override { return m_scale; }
    std::string caption(Result result) const override { return m_captions[at(result)]; }
    void setCaption(Result result, std::string_view text) override {
        m_captions[at(result)] = text;
    }
    void setUnitCaption(Unit unit, std::string_view text) override { m_units[at(unit)] = text; }
    void setInputEnabled(Input input, bool enabled) override { m_enabled[at(input)] = enabled; }
    void setInputBackground(Input input, SystemColour colour) override {
        m_backgrounds[at(input)] = colour;
    }

private:
    template <typename E> static std::size_t at(E e) { return static_cast<std::size_t>(e); }

    int m_modelIndex = -1;
    estimation::ParticleSizeScale m_scale = estimation::ParticleSizeScale::international;
    std::array<std::string, 4> m_inputs{" ", " ", " ", " "};
    std::array<std::string, 3> m_captions{};
    std::array<std::string, 2> m_units{};
    std::array<bool, 4> m_enabled{};
    std::array<SystemColour, 4> m_backgrounds{
        SystemColour::inactiveBorder, SystemColour::inactiveBorder, SystemColour::inactiveBorder,
        SystemColour::inactiveBorder};
};

} // namespace talvo::form
