#include "window/locale_separator.h"

#include <QLocale>
#include <QObject>
#include <QTest>

#include <utility>

namespace talvo::window::test {

class LocaleSeparatorTest : public QObject {
    Q_OBJECT

private slots:
    // Arabic (Egypt) writes a separator that is not ASCII: the number texts fall back to '.'.
    void decimalSeparators() {
        for (const auto& [locale, separator] :
             {std::pair{"en_US", '.'}, {"de_DE", ','}, {"ar_EG", '.'}}) {
            QCOMPARE(decimalSeparatorOf(QLocale(QString::fromLatin1(locale))).get(), separator);
        }
    }
};

} // namespace talvo::window::test

QTEST_MAIN(talvo::window::test::LocaleSeparatorTest)
#include "locale_separator_test.moc"
