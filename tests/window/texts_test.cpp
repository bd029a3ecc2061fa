#include "window/failure_message.h"
#include "window/locale_separator.h"

#include <QLocale>
#include <QObject>
#include <QTest>

#include <memory>
#include <optional>

Q_DECLARE_METATYPE(talvo::estimation::FailureKind)

namespace talvo::window::test {

using estimation::DecimalSeparator;
using estimation::FailureKind;
using estimation::Input;

class TextsTest : public QObject {
    Q_OBJECT

private slots:
    void failureMessages_data() {
        QTest::addColumn<FailureKind>("kind");
        QTest::addColumn<int>("input"); // -1: no box caused it
        QTest::addColumn<char>("separator");
        QTest::addColumn<QString>("message");
        QTest::newRow("blank clay") << FailureKind::typeMismatch << int(Input::clay) << '.'
                                    << "Type mismatch\nClay content is not a number. "
                                       "Type a number such as 12.5.";
        QTest::newRow("organic carbon, comma locale")
            << FailureKind::typeMismatch << int(Input::oc) << ','
            << "Type mismatch\nOrganic carbon content is not a number. "
               "Type a number such as 12,5.";
        QTest::newRow("zero organic carbon")
            << FailureKind::divisionByZero << int(Input::oc) << '.'
            << "Division by zero\nOrganic carbon content is zero, and this model divides by it.";
        QTest::newRow("huge input") << FailureKind::overflow << int(Input::sand) << '.'
                                    << "Overflow\nSand content is too large a number.";
        QTest::newRow("huge result")
            << FailureKind::overflow << -1 << '.'
            << "Overflow\nA result is too large to compute. Check the input values.";
    }

    void failureMessages() {
        QFETCH(FailureKind, kind);
        QFETCH(int, input);
        QFETCH(char, separator);
        QFETCH(QString, message);
        const estimation::Failure failure(
            kind, input < 0 ? std::nullopt : std::optional<Input>(static_cast<Input>(input)));
        QCOMPARE(QString::fromStdString(failureMessage(failure, DecimalSeparator(separator))),
                 message);
    }

    void decimalSeparators_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<char>("separator");
        QTest::newRow("English") << "en_US" << '.';
        QTest::newRow("German") << "de_DE" << ',';
        // Not ASCII: the number texts fall back to '.'.
        QTest::newRow("Arabic, Egypt") << "ar_EG" << '.';
    }

    void decimalSeparators() {
        QFETCH(QString, locale);
        QFETCH(char, separator);
        QCOMPARE(decimalSeparatorOf(QLocale(locale)).get(), separator);
    }
};

std::unique_ptr<QObject> makeTextsTest() {
    return std::make_unique<TextsTest>();
}

} // namespace talvo::window::test

#include "texts_test.moc"
