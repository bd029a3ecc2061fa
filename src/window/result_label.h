#pragma once

#include <QLabel>
#include <QString>

namespace talvo::window {

// A result caption. It keeps its whole text, which the actions read back; where that does
// not fit, it shows the text cut with "…" and the whole of it in the tooltip, so that a cut
// number never passes for another. The text can be selected with the mouse and, once
// clicked, the keyboard; Tab passes it by.
class ResultLabel final : public QLabel {
    Q_OBJECT

public:
    explicit ResultLabel(QWidget* parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);
    // Said after the caption in the tooltip: the estimate's warnings.
    void setNote(const QString& note);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void elide();

    QString m_caption;
    QString m_note;
};

} // namespace talvo::window
