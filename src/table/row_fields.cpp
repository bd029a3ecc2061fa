#include "table/row_fields.h"

namespace talvo::table {

void RowFields::reset(const std::array<std::string_view, 4>& inputs, int modelIndex) {
    m_inputs = inputs;
    m_modelIndex = modelIndex;
    for (std::size_t i = 0; i < m_captions.size(); ++i) {
        m_captions[i].clear();
        m_first[i].clear();
        m_written[i] = false;
    }
}

std::string RowFields::inputText(Input input) const {
    return std::string(m_inputs[at(input)]);
}

void RowFields::setCaption(Result result, std::string_view text) {
    const std::size_t i = at(result);
    m_captions[i] = text;
    if (!m_written[i]) {
        m_written[i] = true;
        m_first[i] = text;
    }
}

} // namespace talvo::table
