#include "estimation/catalogue.h"
#include "support/memory_fields.h"
#include "window/model_selection.h"

#include <QObject>
#include <QTest>

#include <string>

namespace talvo::window::test {

using estimation::Input;
using estimation::Result;
using estimation::SystemColour;
using estimation::Unit;

class ModelSelectionTest : public QObject {
    Q_OBJECT

private slots:
    // State: typed texts and a result; the start state, or any model chosen before (the
    // same one included). Action: choose a model, or an index that names none. Expected:
    // exactly the catalogue row's boxes enabled on the enabled colour, the others grey, its
    // unit captions; an index that names no model changes nothing; no box read, no result
    // changed.
    void appliesTheChosenRow() {
        for (int before = -1; before < estimation::ModelCount; ++before) {
            for (int model = -1; model <= estimation::ModelCount; ++model) {
                talvo::test::MemoryFields fields(before, "40", "x", "20", " 5");
                fields.setCaption(Result::fc, "50.85");
                ModelSelection(fields);
                fields.setModelIndex(model);
                ModelSelection(fields);

                const estimation::PtfModel* shown = estimation::modelAt(model) != nullptr
                                                        ? estimation::modelAt(model)
                                                        : estimation::modelAt(before);
                for (const Input input : estimation::allInputs) {
                    const bool on = shown != nullptr && shown->enabledInputs.contains(input);
                    QCOMPARE(fields.inputEnabled(input), on);
                    QCOMPARE(fields.inputBackground(input),
                             on ? SystemColour::highlightText : SystemColour::inactiveBorder);
                    QCOMPARE(fields.inputReads(input), 0);
                }
                QCOMPARE(fields.unitCaption(Unit::fc), std::string(shown ? shown->fcUnit : ""));
                QCOMPARE(fields.unitCaption(Unit::pwp), std::string(shown ? shown->pwpUnit : ""));
                QCOMPARE(fields.caption(Result::fc), std::string("50.85"));
            }
        }
    }
};

} // namespace talvo::window::test

QTEST_MAIN(talvo::window::test::ModelSelectionTest)
#include "model_selection_test.moc"
