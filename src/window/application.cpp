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

#include <algorithm>

namespace talvo::window {

QStringList formFamilySubstitutes() {
    return {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
            QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()};
}

QFont formFont(double points) {
    QFont font(QString::fromLatin1(FormFamily));
    font.setPointSizeF(points);
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

QRect placedBeside(const QRect& main, QSize wanted, const QRect& available) {
    constexpr int Gap = 8;
    const QSize size = wanted.boundedTo(available.size());
    const int right = main.right() + 1 + Gap;
    const int left = main.left() - Gap - size.width();
    int x = 0;
    if (right + size.width() <= available.right() + 1) {
        x = right;
    } else if (left >= available.left()) {
        x = left;
    } else if (available.right() - main.right() >= main.left() - available.left()) {
        x = available.right() + 1 - size.width();
    } else {
        x = available.left();
    }
    const int y = std::clamp(main.top(), available.top(), available.bottom() + 1 - size.height());
    return {QPoint(x, y), size};
}

} // namespace talvo::window
