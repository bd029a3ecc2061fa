#include "window/failure_report.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace talvo::window {

FailureReport messageBoxReport(QWidget& parent) {
    return [window = QPointer<QWidget>(&parent)](const QString& message) {
        QMessageBox::warning(window, QString::fromLatin1(WindowCaption), message);
    };
}

} // namespace talvo::window
