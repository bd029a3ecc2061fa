#pragma once

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include <utility>

namespace talvo::window::test {

// Closes any modal dialog soon after it opens and remembers its title and text, so that an
// unexpected message box fails the test instead of hanging it.
class ModalGuard {
public:
    ModalGuard() {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { closeModal(); });
        m_timer.start();
    }

    // "title|text" of each dialog closed so far; clears the list.
    QStringList take() { return std::exchange(m_seen, {}); }

private:
    void closeModal() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            return;
        }
        const auto* box = qobject_cast<QMessageBox*>(modal);
        m_seen << modal->windowTitle() + QLatin1Char('|') +
                      (box != nullptr ? box->text() : QString());
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    }

    QTimer m_timer;
    QStringList m_seen;
};

} // namespace talvo::window::test
