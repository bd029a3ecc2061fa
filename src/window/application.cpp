#include "window/application.h"

#include <QApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImage>
#include <QPixmap>
#include <QResource>
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

// Each size is stored as raw pixels named by its side ("32.argb"): read so, the icon needs
// neither an image reader nor its plugins.
QIcon programIcon() {
    QIcon icon;
    for (QDirIterator sizes(QStringLiteral(":/talvo/icons"), {QStringLiteral("*.argb")});
         sizes.hasNext();) {
        const QString path = sizes.next();
        const int side = QFileInfo(path).baseName().toInt();
        const QByteArray pixels = QResource(path).uncompressedData();
        if (side > 0 && pixels.size() == qsizetype{side} * side * 4) {
            const QImage image(reinterpret_cast<const uchar*>(pixels.constData()), side, side,
                               QImage::Format_ARGB32_Premultiplied);
            // The image only borrows the pixels: copy them before they go.
            icon.addPixmap(QPixmap::fromImage(image.copy()));
        }
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
