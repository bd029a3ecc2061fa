#include "window/application.h"

#include <QApplication>
#include <QDirIterator>
#include <QFontDatabase>
#include <QScreen>
#include <QWidget>

namespace talvo::window {

QStringList formFamilySubstitutes() {
    return {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
            QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()};
}

QFont formFont(double points, bool bold) {
    QFont font(QString::fromLatin1(FormFamily));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void describeApplication() {
    QApplication::setApplicationName(QStringLiteral(TALVO_PRODUCT_NAME));
    QApplication::setApplicationVersion(QStringLiteral(TALVO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(TALVO_DESKTOP_ID));
    QFont::insertSubstitutions(QString::fromLatin1(FormFamily), formFamilySubstitutes());
}

QIcon programIcon() {
    QIcon icon;
    for (QDirIterator sizes(QStringLiteral(":/talvo/icons"), {QStringLiteral("*.png")});
         sizes.hasNext();) {
        icon.addFile(sizes.next());
    }
    return icon;
}

void showCentred(QWidget& window) {
    const QScreen* screen =
        window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        window.move(area.center() - window.rect().center());
    }
    window.show();
}

} // namespace talvo::window
