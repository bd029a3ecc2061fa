#include "estimation/catalogue.h"
#include "support/memory_fields.h"
#include "window/model_selection.h"

#include <QObject>
#include <QTest>

#include <memory>

namespace talvo::window::test {

using estimation::Input;
using estimation::Result;
using estimation::SystemColour;
using estimation::Unit;
using talvo::test::MemoryFields;

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
        // An index that chooses no model changes nothing.
        QTest::newRow("none chosen") << -1 << ""
                                     << ""
                                     << "";
        QTest::newRow("past the end") << 7 << ""
                                      << ""
                                      << "";
    }

    // State: typed texts and a result; the start state, or any model chosen before (the
    // same one included). Action: choose the model. Expected: exactly its boxes enabled on
    // the enabled colour, the others grey; its unit captions; no box read, no result changed.
    void appliesTheChosenRow() {
        QFETCH(int, model);
        QFETCH(QString, enabled);
        QFETCH(QString, unitfc);
        QFETCH(QString, unitpwp);

        const bool chooses = model >= 0 && model < estimation::ModelCount;
        for (int before = -1; before < (chooses ? estimation::ModelCount : 0); ++before) {
            MemoryFields fields(before, "40", "x", "20", " 5");
            fields.setCaption(Result::fc, "50.85");
            ModelSelection(fields);
            fields.setModelIndex(model);
            ModelSelection(fields);

            QStringList on;
            for (const Input input : estimation::allInputs) {
                const bool isOn = fields.inputEnabled(input);
                on << (isOn ? QString::fromUtf8(estimation::name(input).data()) : QString());
                QCOMPARE(fields.inputBackground(input),
                         isOn ? SystemColour::highlightText : SystemColour::inactiveBorder);
                QCOMPARE(fields.inputReads(input), 0);
            }
            on.removeAll(QString());
            QCOMPARE(on.join(QLatin1Char(' ')), enabled);
            QCOMPARE(QString::fromStdString(fields.unitCaption(Unit::fc)), unitfc);
            QCOMPARE(QString::fromStdString(fields.unitCaption(Unit::pwp)), unitpwp);
            QCOMPARE(fields.caption(Result::fc), std::string("50.85"));
        }
    }
};

std::unique_ptr<QObject> makeModelSelectionTest() {
    return std::make_unique<ModelSelectionTest>();
}

} // namespace talvo::window::test

#include "model_selection_test.moc"
