#include "window/colours.h"

#include <QObject>
#include <QPalette>
#include <QTest>

#include <tuple>

namespace talvo::window::test {

// The window's boxes in light and dark themes: the Form1 test. Here, what no theme reaches.
class ColoursTest : public QObject {
    Q_OBJECT

private slots:
    // Published reference values: #777 on white just fails 4.5:1.
    void contrastRatios() {
        for (const auto& [a, b, ratio] : {std::tuple{QColor(Qt::black), QColor(Qt::white), 21.0},
                                          {QColor(0x80, 0x40, 0x20), QColor(0x80, 0x40, 0x20), 1.0},
                                          {QColor(Qt::white), QColor(0x77, 0x77, 0x77), 4.48}}) {
            QVERIFY2(qAbs(contrastRatio(a, b) - ratio) < 0.01,
                     qPrintable(QString::number(contrastRatio(a, b))));
        }
    }

    // Where no palette colour reads, black or white does, whatever the background.
    void fallsBackToBlackOrWhite() {
        QPalette grey;
        for (const auto role :
             {QPalette::Text, QPalette::Base, QPalette::WindowText, QPalette::Window}) {
            grey.setColor(role, QColor(0x77, 0x77, 0x77));
        }
        for (int level = 0; level < 256; level += 5) {
            const QColor background(level, level, 255 - level);
            QVERIFY(contrastRatio(readableTextOn(background, grey), background) >=
                    ReadableContrast);
        }
    }
};

} // namespace talvo::window::test

QTEST_MAIN(talvo::window::test::ColoursTest)
#include "colours_test.moc"
