#include "estimation/catalogue.h"
#include "modal_guard.h"
#include "support/memory_fields.h"
#include "window/application.h"
#include "window/colours.h"
#include "window/form1.h"
#include "window/model_selection.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <utility>

namespace talvo::window::test {

using estimation::DecimalSeparator;
using estimation::SystemColour;

namespace {

const QStringList Boxes{"sand", "silt", "clay", "oc"};
const QStringList RawlsShown{"50.85", "26.28", "36.86"};

QPalette darkPalette() {
    QPalette palette(QColor(0x35, 0x35, 0x35), QColor(0x2d, 0x2d, 0x2d));
    palette.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

} // namespace

class Form1Test : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ModalGuard> m_guard;
    std::unique_ptr<Form1> m_form;
    QStringList m_reports;

    template <typename W = QWidget> W* control(const QString& name) const {
        auto* widget = m_form->findChild<W*>(name);
        if (widget == nullptr) {
            qFatal("no control %s", qPrintable(name));
        }
        return widget;
    }
    QComboBox* combo() const { return control<QComboBox>(QStringLiteral("Combo1")); }
    QLineEdit* box(const QString& name) const { return control<QLineEdit>(name); }
    QString caption(const QString& name) const { return control<QLabel>(name)->text(); }
    QStringList results() const { return {caption("fc"), caption("pwp"), caption("awc")}; }
    QString focused() const { return QApplication::focusWidget()->objectName(); }

    void open(DecimalSeparator separator = {}) {
        m_form = std::make_unique<Form1>([this](const QString& message) { m_reports << message; },
                                         separator);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }

    // Opens the list with a click, then clicks the item.
    void chooseByMouse(int index) {
        QTest::mouseClick(combo(), Qt::LeftButton);
        QAbstractItemView* list = combo()->view();
        QTRY_VERIFY(list->isVisible());
        // The list ignores a release this soon after it opened (the opening click's own).
        QTest::qWait(QApplication::doubleClickInterval() + 20);
        const QPoint item = list->visualRect(list->model()->index(index, 0)).center();
        QTest::mouseMove(list->viewport(), item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item);
        QTRY_VERIFY(!list->isVisible());
    }

    // Opens the list with Alt+Down, walks to the item with the arrow keys, takes it with Enter.
    void chooseByKeyboard(int index) {
        combo()->setFocus();
        QTest::keyClick(combo(), Qt::Key_Down, Qt::AltModifier);
        QAbstractItemView* list = combo()->view();
        QTRY_VERIFY(list->isVisible());
        QTest::keyClick(list, Qt::Key_Home);
        for (int i = 0; i < index; ++i) {
            QTest::keyClick(list, Qt::Key_Down);
        }
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY(!list->isVisible());
    }

    // Clicks into the box (the caret lands after the initial blank) and types.
    void typeInto(const QString& name, const QString& text) {
        QTest::mouseClick(box(name), Qt::LeftButton);
        QTest::keyClicks(box(name), text);
    }

    void estimateRawls() {
        chooseByMouse(2);
        typeInto("sand", "40");
        typeInto("clay", "20");
        typeInto("oc", "5");
        pressEstimate();
        QCOMPARE(results(), RawlsShown);
    }

    void pressEstimate() { QTest::mouseClick(control<QPushButton>("cmd"), Qt::LeftButton); }

    QString tab() {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        return focused();
    }

    // The window shows what model selection writes for that model: enabled boxes, colours
    // as the palette has them, unit captions.
    void checkShowsModel(int model) {
        talvo::test::MemoryFields expected;
        expected.setModelIndex(model);
        ModelSelection(expected);
        QCOMPARE(combo()->currentIndex(), model);
        for (const estimation::Input input : estimation::allInputs) {
            QLineEdit* target = box(QString::fromUtf8(estimation::name(input).data()));
            QCOMPARE(target->isEnabled(), expected.inputEnabled(input));
            QCOMPARE(target->palette().color(QPalette::Base),
                     systemColour(expected.inputBackground(input), m_form->palette()));
        }
        QCOMPARE(caption("unitfc").toStdString(), expected.unitCaption(estimation::Unit::fc));
        QCOMPARE(caption("unitpwp").toStdString(), expected.unitCaption(estimation::Unit::pwp));
    }

private slots:
    void init() {
        m_guard = std::make_unique<ModalGuard>();
        m_reports.clear();
        open();
    }

    void cleanup() {
        m_form.reset();
        QApplication::setPalette(QPalette());
        QVERIFY2(m_guard->take().isEmpty(), "an unexpected dialog opened");
        m_guard.reset();
    }

    // State: just opened. Expected: caption, fixed client size without maximise, chooser
    // with its seven models showing the placeholder, boxes disabled and grey with one blank,
    // empty captions, focus on the chooser; Tab goes straight to Estimate, and pressing it
    // changes nothing.
    void startState() {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("TALVO Soil Moisture Calculator"));
        QCOMPARE(m_form->size(), QSize(376, 507));
        QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
        QVERIFY(!(m_form->windowFlags() & Qt::WindowMaximizeButtonHint));

        QCOMPARE(combo()->count(), 7);
        QCOMPARE(combo()->itemText(2), QStringLiteral("Rawls et al., 1982"));
        QCOMPARE(combo()->currentIndex(), -1);
        QCOMPARE(combo()->placeholderText(), QStringLiteral("Select Model"));
        QVERIFY(!combo()->isEditable());
        const QColor grey = systemColour(SystemColour::inactiveBorder, m_form->palette());
        for (const QString& name : Boxes) {
            QVERIFY(!box(name)->isEnabled());
            QCOMPARE(box(name)->text(), QStringLiteral(" "));
            QCOMPARE(box(name)->palette().color(QPalette::Disabled, QPalette::Base), grey);
        }
        for (const char* name : {"fc", "pwp", "awc", "unitfc", "unitpwp"}) {
            QCOMPARE(caption(name), QString());
        }
        QCOMPARE(control<QPushButton>("cmd")->text(), QStringLiteral("Estimate "));

        QCOMPARE(focused(), QStringLiteral("Combo1"));
        QCOMPARE(tab(), QStringLiteral("cmd"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(results(), QStringList({"", "", ""}));
        QCOMPARE(m_reports, QStringList());
    }

    void geometry_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::newRow("Label3") << "Label3" << QRect(120, 120, 5175, 495);
        QTest::newRow("Combo1") << "Combo1" << QRect(120, 840, 5415, 360);
        QTest::newRow("Label8_1") << "Label8_1" << QRect(120, 1560, 4935, 495);
        QTest::newRow("Label1") << "Label1" << QRect(120, 2280, 3615, 375);
        QTest::newRow("sand") << "sand" << QRect(4320, 2280, 1215, 375);
        QTest::newRow("Label11") << "Label11" << QRect(120, 2880, 3615, 375);
        QTest::newRow("silt") << "silt" << QRect(4320, 2880, 1215, 375);
        QTest::newRow("Label2") << "Label2" << QRect(120, 3480, 3615, 255);
        QTest::newRow("clay") << "clay" << QRect(4320, 3480, 1215, 375);
        QTest::newRow("Label4") << "Label4" << QRect(120, 4080, 3255, 375);
        QTest::newRow("oc") << "oc" << QRect(4320, 4080, 1215, 375);
        QTest::newRow("Label5") << "Label5" << QRect(120, 4680, 3495, 615);
        QTest::newRow("cmd") << "cmd" << QRect(4320, 4680, 1215, 495);
        QTest::newRow("Label6") << "Label6" << QRect(120, 5520, 1935, 375);
        QTest::newRow("unitfc") << "unitfc" << QRect(2160, 5520, 1215, 375);
        QTest::newRow("fc") << "fc" << QRect(4320, 5520, 1215, 375);
        QTest::newRow("Label7") << "Label7" << QRect(120, 6120, 3135, 495);
        QTest::newRow("unitpwp") << "unitpwp" << QRect(3360, 6120, 975, 495);
        QTest::newRow("pwp") << "pwp" << QRect(4440, 6120, 1095, 375);
        QTest::newRow("Label8_0") << "Label8_0" << QRect(120, 6720, 3375, 615);
        QTest::newRow("awc") << "awc" << QRect(4440, 6840, 1095, 495);
    }

    // Every control at its place, 15 twips to the pixel. Only a caption label may be
    // taller, where its wrapped text needs it; its text then fits.
    void geometry() {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        const QRect pixels(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
        QWidget* widget = control(name);
        QCOMPARE(widget->pos(), pixels.topLeft());
        QCOMPARE(widget->width(), pixels.width());
        if (!name.startsWith(QLatin1String("Label"))) {
            QCOMPARE(widget->height(), pixels.height());
            return;
        }
        QVERIFY(widget->height() >= pixels.height());
        const auto* label = qobject_cast<QLabel*>(widget);
        const QRect needed =
            QFontMetrics(label->font())
                .boundingRect(QRect(0, 0, label->width(), 1000), Qt::TextWordWrap, label->text());
        QVERIFY(needed.width() <= label->width() && needed.height() <= label->height());
    }

    // No control covers another, and all lie inside the client area.
    void noOverlaps() {
        const QList<QWidget*> controls =
            m_form->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(controls.size(), 21);
        for (const QWidget* a : controls) {
            QVERIFY(m_form->rect().contains(a->geometry()));
            for (const QWidget* b : controls) {
                QVERIFY2(a == b || !a->geometry().intersects(b->geometry()),
                         qPrintable(a->objectName() + " covers " + b->objectName()));
            }
        }
    }

    void fonts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        QTest::newRow("title") << "Label3" << 13.5 << false;
        QTest::newRow("button") << "cmd" << 9.75 << false;
        QTest::newRow("heading") << "Label5" << 12.0 << true;
        QTest::newRow("box") << "clay" << 12.0 << false;
    }

    // The form's family at its sizes, drawn with the first substitute this system has
    // (Liberation Sans, from the install script); the model texts fit the chooser.
    void fonts() {
        QFETCH(QString, name);
        QFETCH(double, points);
        QFETCH(bool, bold);
        const QFont font = control(name)->font();
        QCOMPARE(font.family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(font.pointSizeF(), points);
        QCOMPARE(font.bold(), bold);
        QCOMPARE(QFont::substitutes(font.family()).join(','),
                 formFamilySubstitutes().join(',').toLower());
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("Liberation Sans"));
        for (int i = 0; i < combo()->count(); ++i) {
            QVERIFY(QFontMetrics(combo()->font()).horizontalAdvance(combo()->itemText(i)) <
                    combo()->width() - 30);
        }
    }

    // State: each model chosen before. Action: choose each model by mouse, then by keyboard.
    // Expected: the window shows that model's boxes, colours and unit captions.
    void chooseEachModel() {
        for (int model = 0; model < estimation::ModelCount; ++model) {
            chooseByMouse(model);
            checkShowsModel(model);
            chooseByKeyboard((model + 3) % estimation::ModelCount);
            checkShowsModel((model + 3) % estimation::ModelCount);
        }
    }

    // State: focus on the closed chooser. Action: arrow keys and type-ahead.
    // Expected: every model the chooser comes to show is applied.
    void closedChooserKeys() {
        QTest::keyClick(combo(), Qt::Key_Down);
        checkShowsModel(0);
        QTest::keyClick(combo(), Qt::Key_Down);
        checkShowsModel(1);
        QTest::keyClick(combo(), Qt::Key_S);
        checkShowsModel(4);
        QTest::keyClick(combo(), Qt::Key_End);
        checkShowsModel(6);
    }

    void workedExamples_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QStringList>("typed"); // sand, silt, clay, oc; empty: not typed
        QTest::addColumn<char>("separator");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("Rawls") << 2 << QStringList{"40", "", "20", "5"} << '.' << RawlsShown;
        QTest::newRow("Tomasella") << 3 << QStringList{"", "30", "20", ""} << '.'
                                   << QStringList{"24.91", "13.33", "17.36"};
        QTest::newRow("Chakraborty") << 6 << QStringList{"40", "40", "20", ""} << '.'
                                     << QStringList{"29.29", "12.84", "36.77"};
        QTest::newRow("Singh, AWC half up") << 4 << QStringList{"40", "", "20", ""} << '.'
                                            << QStringList{"37.58", "10.97", "39.92"};
        QTest::newRow("Rawls, comma locale") << 2 << QStringList{"40", "", "20,0", "5"} << ','
                                             << QStringList{"50,85", "26,28", "36,86"};
    }

    // State: model chosen. Action: click into the boxes, type, click Estimate.
    // Expected: the three results with two decimals, nothing reported.
    void workedExamples() {
        QFETCH(int, model);
        QFETCH(QStringList, typed);
        QFETCH(char, separator);
        QFETCH(QStringList, shown);
        open(DecimalSeparator(separator));
        chooseByMouse(model);
        for (int i = 0; i < Boxes.size(); ++i) {
            if (!typed[i].isEmpty()) {
                typeInto(Boxes[i], typed[i]);
            }
        }
        pressEstimate();
        QCOMPARE(results(), shown);
        QCOMPARE(m_reports, QStringList());
    }

    // The whole calculation from the keyboard alone. After choosing Rawls the focus runs
    // chooser, sand, clay, organic carbon, Estimate; Space and Enter press Estimate.
    void keyboardOnly() {
        chooseByKeyboard(2);
        QCOMPARE(focused(), QStringLiteral("Combo1"));
        for (const auto& [name, digits] : {std::pair{"sand", "40"}, {"clay", "20"}, {"oc", "5"}}) {
            QCOMPARE(tab(), QString::fromLatin1(name));
            QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(digits));
        }
        QCOMPARE(tab(), QStringLiteral("cmd"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(results(), RawlsShown);
        control<QLabel>("fc")->clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(results(), RawlsShown);
        QCOMPARE(tab(), QStringLiteral("Combo1"));
    }

    void failures_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QStringList>("texts"); // sand, silt, clay, oc as they stand
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("blank clay") << 0 << QStringList{"40", " ", " ", "5"}
                                    << "Type mismatch\nClay content is not a number. "
                                       "Type a number such as 12.5."
                                    << RawlsShown;
        // FC is written in full before PWP divides by zero; PWP and AWC keep their texts.
        QTest::newRow("zero organic carbon")
            << 1 << QStringList{"40", " ", "20", "0"}
            << "Division by zero\nOrganic carbon content is zero, and this model divides by it."
            << QStringList{"23.35323", "26.28", "36.86"};
        QTest::newRow("huge organic carbon")
            << 2 << QStringList{"40", " ", "20", "1e308"}
            << "Overflow\nA result is too large to compute. Check the input values." << RawlsShown;
        QTest::newRow("sand beyond range")
            << 2 << QStringList{"1e400", " ", "20", "5"}
            << "Overflow\nSand content is too large a number." << RawlsShown;
    }

    // State: results of a Rawls estimate. Action: choose a model, leave texts that fail,
    // press Estimate. Expected: one report naming the kind and the box; the captions as the
    // failed action left them; the window goes on working.
    void failures() {
        QFETCH(int, model);
        QFETCH(QStringList, texts);
        QFETCH(QString, message);
        QFETCH(QStringList, shown);
        estimateRawls();

        chooseByMouse(model);
        for (int i = 0; i < Boxes.size(); ++i) {
            box(Boxes[i])->setText(texts[i]);
        }
        pressEstimate();
        QCOMPARE(m_reports, QStringList{message});
        QCOMPARE(results(), shown);

        m_reports.clear();
        QVERIFY(m_form->isVisible());
        chooseByMouse(2);
        box("sand")->setText("40");
        box("clay")->setText("20");
        box("oc")->setText("5");
        pressEstimate();
        QCOMPARE(results(), RawlsShown);
        QCOMPARE(m_reports, QStringList());
    }

    // Without a report of its own the window shows a warning box with its caption, and goes
    // on after it is closed. (Rawls forms its organic carbon terms first.)
    void defaultReportIsAMessageBox() {
        m_form = std::make_unique<Form1>();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        chooseByMouse(2);
        pressEstimate();
        QCOMPARE(m_guard->take(), QStringList{"TALVO Soil Moisture Calculator|Type mismatch\n"
                                              "Organic carbon content is not a number. "
                                              "Type a number such as 12.5."});
        QVERIFY(m_form->isVisible());
    }

    // State: Rawls results shown. Action: choose other models, and one twice. Expected:
    // typed texts (in boxes now disabled too) and results stay; unit captions change at once.
    void switchingKeepsTextsAndResults() {
        estimateRawls();
        chooseByMouse(3);
        QCOMPARE(box("sand")->text(), QStringLiteral(" 40"));
        QCOMPARE(results(), RawlsShown);
        chooseByKeyboard(0);
        chooseByMouse(0);
        QCOMPARE(caption("unitfc"), QStringLiteral("(% w/w)"));
        QCOMPARE(box("oc")->text(), QStringLiteral(" 5"));
        QCOMPARE(results(), RawlsShown);
        QCOMPARE(m_reports, QStringList());
    }

    void accessibleNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("spoken");
        QTest::newRow("chooser") << "Combo1"
                                 << "Pedotransfer function (PTF) models";
        QTest::newRow("sand") << "sand"
                              << "Sand content (0.02-2 mm) (%)";
        QTest::newRow("silt") << "silt"
                              << "Silt content (0.002-0.02 mm) (%)";
        QTest::newRow("clay") << "clay"
                              << "Clay content (<0.002 mm) (%)";
        QTest::newRow("oc") << "oc"
                            << "Organic carbon content (g/kg)";
        QTest::newRow("fc") << "fc"
                            << "Field capacity, FC";
        QTest::newRow("pwp") << "pwp"
                             << "Permanent wilting point, PWP";
        QTest::newRow("awc") << "awc"
                             << "Available water capacity (AWC) for 15 cm soil layer (mm)";
    }

    // What a screen reader says for each control.
    void accessibleNames() {
        QFETCH(QString, name);
        QFETCH(QString, spoken);
        QCOMPARE(QAccessible::queryAccessibleInterface(control(name))->text(QAccessible::Name),
                 spoken);
    }

    // A screen reader says each result's number with its unit, in its description.
    void accessibleResults() {
        auto description = [this](const char* name) {
            return QAccessible::queryAccessibleInterface(control(name))
                ->text(QAccessible::Description);
        };
        chooseByKeyboard(6);
        QCOMPARE(description("pwp"), QStringLiteral("(% w/w )"));
        estimateRawls();
        QCOMPARE(description("fc"), QStringLiteral("50.85 (% v/v)"));
        QCOMPARE(description("pwp"), QStringLiteral("26.28 (% v/v)"));
        QCOMPARE(description("awc"), QStringLiteral("36.86"));
    }

    void readableColours_data() {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << QApplication::style()->standardPalette();
        QTest::newRow("dark") << darkPalette();
    }

    // State: a theme set while the window is open, organic carbon disabled, the others
    // enabled. Expected: the boxes take the theme's colours and their text reads on each
    // (4.5:1 at least).
    void readableColours() {
        QFETCH(QPalette, palette);
        chooseByMouse(0);
        QApplication::setPalette(palette);
        QCoreApplication::processEvents();
        for (const QString& name : Boxes) {
            QLineEdit* target = box(name);
            const auto group = target->isEnabled() ? QPalette::Active : QPalette::Disabled;
            const QColor background = target->palette().color(group, QPalette::Base);
            const QColor text = target->palette().color(group, QPalette::Text);
            QCOMPARE(background, systemColour(target->isEnabled() ? SystemColour::highlightText
                                                                  : SystemColour::inactiveBorder,
                                              palette));
            QVERIFY(contrastRatio(text, background) >= ReadableContrast);
        }
    }
};

std::unique_ptr<QObject> makeForm1Test() {
    return std::make_unique<Form1Test>();
}

} // namespace talvo::window::test

#include "form1_test.moc"
