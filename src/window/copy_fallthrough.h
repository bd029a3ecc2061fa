#pragma once

#include <QObject>

namespace talvo::window {

// Watches input boxes and captions so that Ctrl+C copies their selected text, and with
// nothing selected reaches the window's own Copy shortcut (which a box would otherwise take
// and do nothing with).
class CopyFallthrough final : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Watches a QLineEdit or QLabel.
    void watch(QObject& control);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace talvo::window
