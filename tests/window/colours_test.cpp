#include "window/colours.h"

#include <QObject>
#include <QPalette>
#include <QTest>

#include <memory>

namespace talvo::window::test {

using estimation::SystemColour;

// A typical dark theme: light text on dark grey, white highlighted text on blue.
QPalette darkPalette() {
    QPalette palette(QColor(0x35, 0x35, 0x35), QColor(0x2d, 0x2d, 0x2d));
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

// A light theme with a tinted frame colour, which a disabled box must not take on.
QPalette lightPalette() {
    QPalette palette(QColor(0xe0, 0xe4, 0xf0), QColor(0xef, 0xef, 0xef));
    palette.setColor(QPalette::Highlight, QColor(0x30, 0x8c, 0xc6));
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
        QTest::newRow("either order") << QColor(Qt::white) << QColor(Qt::black) << 21.0;
        QTest::newRow("same colour") << QColor(0x80, 0x40, 0x20) << QColor(0x80, 0x40, 0x20) << 1.0;
        // Published reference values: #777 on white just fails 4.5:1, #767676 just passes.
        QTest::newRow("#777 on white") << QColor(0x77, 0x77, 0x77) << QColor(Qt::white) << 4.48;
        QTest::newRow("#767676 on white") << QColor(0x76, 0x76, 0x76) << QColor(Qt::white) << 4.54;
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
        QTest::newRow("light") << lightPalette();
        QTest::newRow("dark") << darkPalette();
        QTest::newRow("toolkit default") << QPalette();
    }

    // The typed text reads on both box colours; enabled and disabled boxes look different;
    // the disabled grey is a plain grey.
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

    // The fault this guards against: a dark theme's own light text on the white box.
    void darkThemeTextIsNotTheThemeText() {
        const QPalette palette = darkPalette();
        const QColor box = systemColour(SystemColour::highlightText, palette);
        QVERIFY(contrastRatio(palette.color(QPalette::Text), box) < ReadableContrast);
        QVERIFY(readableTextOn(box, palette) != palette.color(QPalette::Text));
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
