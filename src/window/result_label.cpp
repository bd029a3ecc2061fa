#include "window/result_label.h"

#include <QEvent>
#include <QFontMetrics>
#include <QStringList>

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
    QStringList tip;
    if (shown != m_caption) {
        tip << m_caption;
    }
    if (!m_note.isEmpty()) {
        tip << m_note;
    }
    setToolTip(tip.join(QLatin1Char('\n')));
}

void ResultLabel::setNote(const QString& note) {
    m_note = note;
    elide();
}

} // namespace talvo::window
