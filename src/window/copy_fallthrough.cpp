#include "window/copy_fallthrough.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace talvo::window {

namespace {

bool hasSelection(const QObject& control) {
    if (const auto* box = qobject_cast<const QLineEdit*>(&control)) {
        return box->hasSelectedText();
    }
    if (const auto* label = qobject_cast<const QLabel*>(&control)) {
        return label->hasSelectedText();
    }
    return false;
}

} // namespace

void CopyFallthrough::watch(QObject& control) {
    control.installEventFilter(this);
}

// Before a key can be a shortcut, the focused control is asked whether it wants it: with a
// selection it does, without one the window's shortcut gets it.
bool CopyFallthrough::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        event->setAccepted(hasSelection(*watched));
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace talvo::window
