#include "window/application.h"

#include <QApplication>
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

// The first installed of the form's family and its substitutes. A font that names a missing
// family sends every size and weight through the failed match and the substitutes again, and
// each of them loads the fallback list anew.
QString formFamily() {
    const QStringList installed = QFontDatabase::families();
    QStringList candidates = formFamilySubstitutes();
    candidates.prepend(QString::fromLatin1(FormFamily));
    for (const QString& family : candidates) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            return family;
        }
    }
    return candidates.constLast();
}

QFont formFont(double points) {
    QFont font(formFamily());
    font.setPointSizeF(points);
    return font;
}

void describeApplication() {
    QApplication::setApplicationName(QStringLiteral(TALVO_PRODUCT_NAME));
    QApplication::setApplicationVersion(QStringLiteral(TALVO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(TALVO_DESKTOP_ID));
}

// Each size is stored as raw pixels named by its side ("32.argb"): read so, the icon needs
// neither an image reader nor its plugins.
QIcon programIcon() {
    QIcon icon;
    for (const int side : {TALVO_ICON_SIDES}) {
        const QByteArray pixels =
            QResource(QStringLiteral(":/talvo/icons/%1.argb").arg(side)).uncompressedData();
        if (pixels.size() == qsizetype{side} * side * 4) {
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
