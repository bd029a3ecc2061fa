#pragma once

#include <QComboBox>

namespace talvo::window {

// The model chooser. While no model is chosen, its list opens with nothing highlighted and
// the first Down (or Up) highlights the first model, as on the closed chooser; the bare list
// would take that Down to the second model. Enter with nothing highlighted chooses nothing.
class ModelChooser final : public QComboBox {
    Q_OBJECT

public:
    explicit ModelChooser(QWidget* parent = nullptr);

    void showPopup() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool m_nothingHighlighted = false;
};

} // namespace talvo::window
