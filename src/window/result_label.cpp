#include "window/result_label.h"

#include <QEvent>
#include <QFontMetrics>

namespace talvo::window {

ResultLabel::ResultLabel(QWidget* parent) : QLabel(parent) {
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Selectable by keyboard would put the caption in the Tab chain.
    setFocusPolicy(Qt::ClickFocus);
    // Right-clicking a result offers the window's menu (Copy results), not the caption's.
    setContextMenuPolicy(Qt::NoContextMenu);
}

void ResultLabel::setCaption(const QString& caption) {
    m_caption = caption;
    elide();
}

void ResultLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ResultLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        elide();
    }
}

void ResultLabel::elide() {
    const QString shown =
        fontMetrics().elidedText(m_caption, Qt::ElideRight, contentsRect().width());
    if (shown != text()) {
        setText(shown);
    }
    setToolTip(shown == m_caption ? QString() : m_caption);
}

} // namespace talvo::window
