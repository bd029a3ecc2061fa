#pragma once

#include "estimation/fields.h"

#include <array>
#include <string>
#include <string_view>

namespace talvo::table {

// The window's fields over one table row, so that a row goes through the very same
// EstimateAction as a press in the window. Input texts are the row's; captions live here.
//
// The action writes each result caption twice: first its 15-digit text (FC, then PWP, then
// AWC from those two), then the two-decimal text of its formatting pass. The first text written
// to each caption in a press is kept aside as its general text, so the batch tool offers both
// precisions from one press, without knowing more of the action than what it writes.
class RowFields final : public estimation::FormFields {
public:
    using Input = estimation::Input;
    using Result = estimation::Result;

    // Starts a new press: the row's input texts (empty where the table has no such column),
    // the model, and empty captions.
    void reset(const std::array<std::string_view, 4>& inputs, int modelIndex);

    // The caption as the window finally shows it.
    const std::string& shown(Result result) const { return m_captions[at(result)]; }
    // The first text written to the caption in this press; empty when none was.
    const std::string& firstWritten(Result result) const { return m_first[at(result)]; }

    std::string inputText(Input input) const override;
    int modelIndex() const override { return m_modelIndex; }
    std::string caption(Result result) const override { return m_captions[at(result)]; }
    void setCaption(Result result, std::string_view text) override;

    // The batch tool has no unit captions or input boxes to show.
    void setUnitCaption(estimation::Unit /*unit*/, std::string_view /*text*/) override {}
    void setInputEnabled(Input /*input*/, bool /*enabled*/) override {}
    void setInputBackground(Input /*input*/, estimation::SystemColour /*colour*/) override {}

private:
    template <typename E> static std::size_t at(E e) { return static_cast<std::size_t>(e); }

    std::array<std::string_view, 4> m_inputs{};
    int m_modelIndex = -1;
    std::array<std::string, 3> m_captions{};
    std::array<std::string, 3> m_first{};
    std::array<bool, 3> m_written{};
};

} // namespace talvo::table
