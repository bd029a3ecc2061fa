#include "estimation/catalogue.h"
#include "support/memory_fields.h"
#include "window/model_selection.h"

#include <QObject>
#include <QTest>

#include <array>
#include <cstddef>
#include <memory>
#include <string>

namespace talvo::window::test {

using estimation::Input;
using estimation::Result;
using estimation::SystemColour;
using estimation::Unit;
using talvo::test::MemoryFields;

namespace {

// "sand silt clay" -> which boxes are enabled, in box order.
QString enabledBoxes(const MemoryFields& fields) {
    QStringList names;
    for (const Input input : estimation::allInputs) {
        if (fields.inputEnabled(input)) {
            names << QString::fromUtf8(estimation::name(input).data());
        }
    }
    return names.join(QLatin1Char(' '));
}

// Texts as a user left them, and the results of an earlier estimate.
const std::array<std::string, 4> Typed{"40", "x", "20", " 5"};
const std::array<std::string, 3> Shown{"50.85", "26.28", "36.86"};

void fillIn(MemoryFields& fields) {
    for (const Input input : estimation::allInputs) {
        fields.setInputText(input, Typed[static_cast<std::size_t>(input)]);
    }
    for (const Result result : {Result::fc, Result::pwp, Result::awc}) {
        fields.setCaption(result, Shown[static_cast<std::size_t>(result)]);
    }
}

} // namespace

class ModelSelectionTest : public QObject {
    Q_OBJECT

private slots:
    void appliesTheChosenRow_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("enabled");
        QTest::addColumn<QString>("unitfc");
        QTest::addColumn<QString>("unitpwp");
        QTest::newRow("TALVO PSD") << 0 << "sand silt clay"
                                   << "(% w/w)"
                                   << "(% w/w)";
        QTest::newRow("TALVO PSD + OC") << 1 << "sand silt clay oc"
                                        << "(% w/w)"
                                        << "(% w/w)";
        QTest::newRow("Rawls") << 2 << "sand clay oc"
                               << "(% v/v)"
                               << "(% v/v)";
        QTest::newRow("Tomasella") << 3 << "silt clay"
                                   << "(% v/v)"
                                   << "(% v/v)";
        QTest::newRow("Singh") << 4 << "sand clay"
                               << "(% v/v)"
                               << "(% v/v)";
        QTest::newRow("Adhikary") << 5 << "sand silt clay"
                                  << "(% v/v)"
                                  << "(% v/v)";
        // The blank before the parenthesis belongs to this caption.
        QTest::newRow("Chakraborty") << 6 << "sand silt clay"
                                     << "(% w/w)"
                                     << "(% w/w )";
    }

    // State: typed texts and earlier results. Action: choose the model.
    // Expected: exactly its boxes enabled on the enabled colour, the others grey; its units;
    // texts and results untouched.
    void appliesTheChosenRow() {
        QFETCH(int, model);
        QFETCH(QString, enabled);
        QFETCH(QString, unitfc);
        QFETCH(QString, unitpwp);

        MemoryFields fields;
        fillIn(fields);
        fields.setModelIndex(model);
        ModelSelection(fields);

        QCOMPARE(enabledBoxes(fields), enabled);
        for (const Input input : estimation::allInputs) {
            QCOMPARE(fields.inputBackground(input), fields.inputEnabled(input)
                                                        ? SystemColour::highlightText
                                                        : SystemColour::inactiveBorder);
        }
        QCOMPARE(QString::fromStdString(fields.unitCaption(Unit::fc)), unitfc);
        QCOMPARE(QString::fromStdString(fields.unitCaption(Unit::pwp)), unitpwp);

        for (const Input input : estimation::allInputs) {
            QCOMPARE(fields.inputText(input), Typed[static_cast<std::size_t>(input)]);
        }
        for (const Result result : {Result::fc, Result::pwp, Result::awc}) {
            QCOMPARE(fields.caption(result), Shown[static_cast<std::size_t>(result)]);
        }
    }

    void noModelChangesNothing_data() {
        QTest::addColumn<int>("model");
        QTest::newRow("none chosen") << -1;
        QTest::newRow("past the end") << 7;
        QTest::newRow("far below") << -100;
    }

    // State: start state. Action: selection with an index that chooses no model.
    // Expected: boxes stay disabled and grey, unit captions stay empty.
    void noModelChangesNothing() {
        QFETCH(int, model);
        MemoryFields fields;
        fields.setModelIndex(model);
        ModelSelection(fields);
        QCOMPARE(enabledBoxes(fields), QString());
        for (const Input input : estimation::allInputs) {
            QCOMPARE(fields.inputBackground(input), SystemColour::inactiveBorder);
        }
        QCOMPARE(fields.unitCaption(Unit::fc), std::string());
        QCOMPARE(fields.unitCaption(Unit::pwp), std::string());
    }

    // Each choice sets the whole state: any earlier choice, the same one included, leaves
    // no trace. Selection never reads a box.
    void previousChoiceLeavesNoTrace() {
        for (int first = 0; first < estimation::ModelCount; ++first) {
            for (int second = 0; second < estimation::ModelCount; ++second) {
                MemoryFields direct;
                direct.setModelIndex(second);
                ModelSelection(direct);

                MemoryFields switched;
                switched.setModelIndex(first);
                ModelSelection(switched);
                switched.setModelIndex(second);
                ModelSelection(switched);

                for (const Input input : estimation::allInputs) {
                    QCOMPARE(switched.inputEnabled(input), direct.inputEnabled(input));
                    QCOMPARE(switched.inputBackground(input), direct.inputBackground(input));
                    QCOMPARE(switched.inputReads(input), 0);
                }
                QCOMPARE(switched.unitCaption(Unit::fc), direct.unitCaption(Unit::fc));
                QCOMPARE(switched.unitCaption(Unit::pwp), direct.unitCaption(Unit::pwp));
            }
        }
    }
};

std::unique_ptr<QObject> makeModelSelectionTest() {
    return std::make_unique<ModelSelectionTest>();
}

} // namespace talvo::window::test

#include "model_selection_test.moc"
