#include "window/model_chooser.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>

namespace talvo::window {

ModelChooser::ModelChooser(QWidget* parent) : QComboBox(parent) {}

void ModelChooser::showPopup() {
    QComboBox::showPopup();
    if (currentIndex() < 0 && count() > 0) {
        view()->selectionModel()->setCurrentIndex(
            model()->index(0, modelColumn(), rootModelIndex()),
            QItemSelectionModel::ClearAndSelect);
    }
}

} // namespace talvo::window
