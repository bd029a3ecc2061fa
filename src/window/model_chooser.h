#pragma once

#include <QComboBox>

namespace talvo::window {

// The model chooser. While no model is chosen, its list opens with the first model
// highlighted, so that the arrow keys start there (the bare list would take the first Down
// to the second model). Highlighting chooses nothing; Enter or a click does.
class ModelChooser final : public QComboBox {
    Q_OBJECT

public:
    explicit ModelChooser(QWidget* parent = nullptr);

    void showPopup() override;
};

} // namespace talvo::window
