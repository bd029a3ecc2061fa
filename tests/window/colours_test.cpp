#include "window/colours.h"

#include <QObject>
#include <QPalette>
#include <QTest>

#include <memory>

namespace talvo::window::test {

using estimation::SystemColour;

// A typical dark theme: light text on dark grey, white highlighted text.
QPalette darkPalette() {
    QPalette palette(QColor(0x35, 0x35, 0x35), QColor(0x2d, 0x2d, 0x2d));
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

class ColoursTest : public QObject {
    Q_OBJECT

private slots:
    void contrastRatios_data() {
        QTest::addColumn<QColor>("a");
        QTest::addColumn<QColor>("b");
        QTest::addColumn<double>("ratio");
        QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
        QTest::newRow("same colour") << QColor(0x80, 0x40, 0x20) << QColor(0x80, 0x40, 0x20) << 1.0;
        // Published reference value: #777 on white just fails 4.5:1.
        QTest::newRow("#777 on white") << QColor(Qt::white) << QColor(0x77, 0x77, 0x77) << 4.48;
    }

    void contrastRatios() {
        QFETCH(QColor, a);
        QFETCH(QColor, b);
        QFETCH(double, ratio);
        QVERIFY2(qAbs(contrastRatio(a, b) - ratio) < 0.01,
                 qPrintable(QString::number(contrastRatio(a, b))));
    }

    void boxColours_data() {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("dark") << darkPalette();
        QTest::newRow("tinted light") << QPalette(QColor(0xe0, 0xe4, 0xf0));
        QTest::newRow("toolkit default") << QPalette();
    }

    // The text reads on both box colours (a dark theme's own light text would not on the
    // white box); enabled and disabled boxes differ; the disabled grey is a plain grey.
    void boxColours() {
        QFETCH(QPalette, palette);
        const QColor enabled = systemColour(SystemColour::highlightText, palette);
        const QColor disabled = systemColour(SystemColour::inactiveBorder, palette);
        QCOMPARE(enabled, palette.color(QPalette::HighlightedText));
        QCOMPARE(disabled.hslSaturation(), 0);
        QVERIFY(enabled != disabled);
        for (const QColor& background : {enabled, disabled}) {
            const double ratio = contrastRatio(readableTextOn(background, palette), background);
            QVERIFY2(ratio >= ReadableContrast, qPrintable(QString::number(ratio)));
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

std::unique_ptr<QObject> makeColoursTest() {
    return std::make_unique<ColoursTest>();
}

} // namespace talvo::window::test

#include "colours_test.moc"
