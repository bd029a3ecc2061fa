#include "window/model_chooser.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>

namespace talvo::window {

ModelChooser::ModelChooser(QWidget* parent) : QComboBox(parent) {}

void ModelChooser::showPopup() {
    // Watched from its first opening: asking for the list earlier builds its popup at start.
    view()->installEventFilter(this);
    QComboBox::showPopup();
    m_nothingHighlighted = currentIndex() < 0 && count() > 0;
    if (m_nothingHighlighted) {
        view()->selectionModel()->clear();
    }
}

bool ModelChooser::eventFilter(QObject* watched, QEvent* event) {
    if (watched != view() || event->type() != QEvent::KeyPress || !m_nothingHighlighted) {
        return QComboBox::eventFilter(watched, event);
    }
    m_nothingHighlighted = false;
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Down:
    case Qt::Key_Up:
        view()->selectionModel()->setCurrentIndex(
            model()->index(0, modelColumn(), rootModelIndex()),
            QItemSelectionModel::ClearAndSelect);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        hidePopup();
        return true;
    default:
        return QComboBox::eventFilter(watched, event);
    }
}

// The toolkit hands a new font on to the list, and builds the list to do so. Until the list
// first opens there is none to hand it to; built then, it takes the chooser's font.
void ModelChooser::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange && findChild<QAbstractItemView*>() == nullptr) {
        // Past the chooser's own handling, which builds the list: the widget's repaints and
        // asks the parent to lay it out again.
        QWidget::changeEvent(event); // NOLINT(bugprone-parent-virtual-call)
        return;
    }
    QComboBox::changeEvent(event);
}

} // namespace talvo::window
