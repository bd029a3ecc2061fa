#pragma once

#include <QLabel>
#include <QString>

namespace talvo::window {

// A result caption. It keeps its whole text, which the actions read back; where that does
// not fit, it shows the text cut with "…" and the whole of it in the tooltip, so that a cut
// number never passes for another. A stale caption, worked out for another soil or model
// than the one on screen, is greyed and says so in its tooltip. The text can be selected
// with the mouse and, once clicked, the keyboard; Tab passes it by.
class ResultLabel final : public QLabel {
    Q_OBJECT

public:
    explicit ResultLabel(QWidget* parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);
    // Said after the caption in the tooltip: the estimate's warnings.
    void setNote(const QString& note);
    bool isStale() const { return m_stale; }
    void setStale(bool stale);
    // The first line of a stale caption's tooltip.
    static QString staleNote();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void elide();
    void paintStale();

    QString m_caption;
    QString m_note;
    bool m_stale = false;
};

} // namespace talvo::window
