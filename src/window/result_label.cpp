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
    } else if (event->type() == QEvent::PaletteChange) {
        paintStale();
    }
}

void ResultLabel::elide() {
    const QString shown =
        fontMetrics().elidedText(m_caption, Qt::ElideRight, contentsRect().width());
    if (shown != text()) {
        setText(shown);
    }
    QStringList tip;
    if (m_stale && !m_caption.isEmpty()) {
        tip << staleNote();
    }
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

QString ResultLabel::staleNote() {
    return tr("From the previous estimate: press Estimate for the soil and model shown.");
}

void ResultLabel::setStale(bool stale) {
    if (stale == m_stale) {
        return;
    }
    m_stale = stale;
    paintStale();
    elide();
}

// The theme's own text colours, so that a stale caption reads like a disabled control's.
void ResultLabel::paintStale() {
    const QPalette theme = parentWidget() != nullptr ? parentWidget()->palette() : QPalette();
    const QColor text =
        theme.color(m_stale ? QPalette::Disabled : QPalette::Active, QPalette::WindowText);
    if (palette().color(QPalette::Active, QPalette::WindowText) == text) {
        return;
    }
    QPalette own = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        own.setColor(group, QPalette::WindowText, text);
    }
    setPalette(own);
}

} // namespace talvo::window
