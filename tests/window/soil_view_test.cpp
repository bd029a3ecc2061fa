#include "estimation/estimation.h"
#include "form/retention_chart.h"
#include "form/sheet_text.h"
#include "form/soil_table.h"
#include "form/triangle_geometry.h"
#include "window/application.h"
#include "window/colours.h"
#include "window/form1.h"
#include "window/retention_curve.h"
#include "window/soil_view.h"
#include "window/texture_triangle.h"
#include "window/triangle_painter.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

#include <array>
#include <cmath>
#include <memory>
#include <string>

namespace talvo::window::test {

using estimation::DecimalSeparator;

const QStringList Boxes{"sand", "silt", "clay", "oc"};

class SoilViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SoilView> m_view;

    template <typename W = QWidget> W* part(const QString& name) const {
        auto* widget = m_view->findChild<W*>(name);
        if (widget == nullptr) {
            qFatal("no part %s", qPrintable(name));
        }
        return widget;
    }
    QString cell(int row, form::SoilColumn column) const {
        return part<QTableWidget>("models")->item(row, static_cast<int>(column))->text();
    }
    void show(const QStringList& texts, char separator = '.') {
        m_view->showInputs({texts[0].toStdString(), texts[1].toStdString(), texts[2].toStdString(),
                            texts[3].toStdString()},
                           DecimalSeparator(separator));
    }

    // Deviations typed beside the curve give the form's band in the p05 and p95 columns and
    // on the chart; cleared, both go.
    void curveBand() {
        auto* table = part<QTableWidget>("curveTable");
        const auto column = [&](int at) {
            QStringList texts;
            for (int row = 0; row < table->rowCount(); ++row) {
                texts << table->item(row, at)->text();
            }
            return texts;
        };
        part<QLineEdit>("sdSand")->setText("2");
        part<QLineEdit>("sdOc")->setText("1.5");
        const form::RetentionChart chart = form::retentionChart(
            {"40", "40", "20", "14.50116"}, {}, estimation::ParticleSizeScale::international,
            {"2", "", "1.5", {}});
        QCOMPARE(chart.tableBand.size(), form::TableHeads.size());
        QStringList low;
        QStringList high;
        for (const form::BandPoint& point : chart.tableBand) {
            low << QString::fromStdString(form::thetaText(point.p05));
            high << QString::fromStdString(form::thetaText(point.p95));
        }
        QCOMPARE(column(2), low);
        QCOMPARE(column(3), high);
        QCOMPARE(part<RetentionCurve>("retentionCurve")->chart().band.size(),
                 part<RetentionCurve>("retentionCurve")->chart().points.size());
        for (const char* name : {"sdSand", "sdOc"}) {
            part<QLineEdit>(name)->clear();
        }
        QCOMPARE(column(2), QStringList(table->rowCount(), QString()));
        QVERIFY(part<RetentionCurve>("retentionCurve")->chart().band.empty());
    }

private slots:
    void initTestCase() { describeApplication(); }
    void init() { m_view = std::make_unique<SoilView>(); }
    void cleanup() {
        m_view.reset();
        QApplication::setPalette(QPalette());
    }

    // For each soil and model: a Form1 given the texts, the model chosen from the keyboard,
    // Estimate pressed. Its captions are the row's results; its failure message's detail, or
    // for a blank box "needs ...", begins the row's remarks.
    void sameAsForm1_data() {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<char>("separator");
        QTest::newRow("loam") << QStringList{"40", "40", "20", "5"} << '.';
        QTest::newRow("comma") << QStringList{"40,5", "40", "19,5", "12,25"} << ',';
        QTest::newRow("blank oc") << QStringList{"40", "40", "20", " "} << '.';
        QTest::newRow("not a number") << QStringList{"40", "40", "2O", "5"} << '.';
        QTest::newRow("zero oc") << QStringList{"40", " ", "20", "0"} << '.';
        QTest::newRow("overflow") << QStringList{"40", " ", "1e400", "1e308"} << '.';
    }
    void sameAsForm1() {
        QFETCH(QStringList, texts);
        QFETCH(char, separator);
        show(texts, separator);
        for (int model = 0; model < estimation::ModelCount; ++model) {
            QStringList reports;
            Form1 form([&reports](const QString& message) { reports << message; },
                       DecimalSeparator(separator));
            for (int i = 0; i < Boxes.size(); ++i) {
                form.findChild<QLineEdit*>(Boxes[i])->setText(texts[i]);
            }
            for (int down = 0; down <= model; ++down) {
                QTest::keyClick(form.findChild<QComboBox*>(), Qt::Key_Down);
            }
            form.findChild<QPushButton*>("cmd")->click();
            QCOMPARE(cell(model, form::SoilColumn::fc), form.findChild<QLabel*>("fc")->text());
            QCOMPARE(cell(model, form::SoilColumn::pwp), form.findChild<QLabel*>("pwp")->text());
            QCOMPARE(cell(model, form::SoilColumn::awc), form.findChild<QLabel*>("awc")->text());
            const QString remarks = cell(model, form::SoilColumn::remarks);
            QVERIFY(reports.size() <= 1);
            if (reports.isEmpty()) {
                QVERIFY(!remarks.startsWith("needs"));
            } else if (reports[0].contains(" is not a number") && remarks.startsWith("needs ")) {
                const QString box = reports[0].section('\n', 1).section(" content", 0, 0);
                QVERIFY(texts[Boxes.indexOf(box == "Organic carbon" ? "oc" : box.toLower())]
                            .trimmed()
                            .isEmpty());
            } else {
                QVERIFY2(remarks.startsWith(reports[0].section('\n', 1)), qPrintable(remarks));
            }
        }
    }

    // The models' mean and range in the row under them, and again after the soil changes
    // (the numbers are the form's, whose test reckons them).
    void spreadUnderTheModels() {
        show({"45", "30", "25", "12"});
        QCOMPARE(cell(estimation::ModelCount, form::SoilColumn::model), "mean of 7 models");
        QCOMPARE(cell(estimation::ModelCount, form::SoilColumn::fc), "40.42");
        QVERIFY(
            cell(estimation::ModelCount, form::SoilColumn::remarks).startsWith("Range: FC 25.32"));
        show({"", "", "", ""});
        QCOMPARE(cell(estimation::ModelCount, form::SoilColumn::model), "mean of 0 models");
        QCOMPARE(cell(estimation::ModelCount, form::SoilColumn::fc), "");
    }

    // Copy has the focus and Space copies the table; Tab runs Save picture..., the table, the
    // particle sizes, the curve's deviations and table and back; Escape closes the view.
    void keyboard() {
        show({"40", "40", "20", "5"});
        m_view->show();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
        QCOMPARE(QApplication::focusWidget(), part("copy"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        const QStringList lines = QGuiApplication::clipboard()->text().split('\n');
        QCOMPARE(lines.size(), estimation::ModelCount + 2); // and the last line's end
        QCOMPARE(lines[0], "Sand (%)\tSilt (%)\tClay (%)\tOC (g/kg)\tTexture class\t"
                           "Model\tUnit\tFC\tPWP\tAWC (mm)\tRemarks");
        QCOMPARE(lines[3],
                 "40\t40\t20\t5\tclay loam\tRawls et al., 1982\t% v/v\t50.85\t26.28\t36.86\t");
        QCOMPARE(lines.last(), QString());
        for (const char* name : {"savePicture", "models", "sheet", "particleSizes", "sdSand",
                                 "sdClay", "sdOc", "curveTable", "copy"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), name);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!m_view->isVisible());
    }

    // A number far too long for its column (clay 1e40) ends in "…", whole in its tooltip: the
    // view keeps its size, fits a small screen, and Copy and Save stay in view.
    void longNumbersKeepItsSize() {
        m_view->resize(640, 560);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        show({"40", "40", "20", "5"});
        QCoreApplication::processEvents();
        const QSize before = m_view->size();
        show({"40", "40", "1e40", "5"});
        QCoreApplication::processEvents();
        QCOMPARE(m_view->size(), before);
        // An 800 x 600 screen, less a title bar and a panel.
        const QSize least = m_view->minimumSizeHint();
        QVERIFY2(least.width() <= 640 && least.height() <= 520,
                 qPrintable(QString("%1 x %2").arg(least.width()).arg(least.height())));

        auto* table = part<QTableWidget>("models");
        const int rawls = 2;
        const QString fc = cell(rawls, form::SoilColumn::fc);
        QVERIFY2(fc.size() > 40, qPrintable(fc));
        for (const auto column :
             {form::SoilColumn::fc, form::SoilColumn::pwp, form::SoilColumn::awc}) {
            const QTableWidgetItem* item = table->item(rawls, static_cast<int>(column));
            QCOMPARE(item->toolTip(), item->text());
        }
        QVERIFY(table->columnWidth(static_cast<int>(form::SoilColumn::fc)) <
                table->fontMetrics().horizontalAdvance(fc));
        // The headers stay whole.
        for (int column = 0; column < table->columnCount(); ++column) {
            QVERIFY(table->columnWidth(column) >=
                    table->horizontalHeader()->sectionSizeHint(column));
        }
        // One line high: the number does not wrap either.
        QStyleOptionViewItem option;
        option.initFrom(table);
        const QModelIndex index =
            table->model()->index(rawls, static_cast<int>(form::SoilColumn::fc));
        QVERIFY(table->itemDelegateForIndex(index)->sizeHint(option, index).height() <
                2 * table->fontMetrics().lineSpacing());
        for (const char* name : {"copy", "savePicture"}) {
            const QWidget* button = part(name);
            QVERIFY2(button->isVisible(), name);
            QVERIFY2(m_view->rect().contains(
                         QRect(button->mapTo(m_view.get(), QPoint(0, 0)), button->size())),
                     name);
        }
    }

    // The sheet of the current row's model, in a few lines that scroll: the view keeps its size
    // whichever model's sheet it shows, and picking a row shows that row's sheet.
    void modelSheet() {
        m_view->resize(640, 560);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        const QSize size = m_view->size();
        auto* sheet = part<QTextEdit>("sheet");
        for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
            m_view->showModel(model.position);
            QCoreApplication::processEvents();
            const QString text = sheet->toPlainText();
            QVERIFY(text.startsWith(QString::fromUtf8(
                model.listText.data(), static_cast<qsizetype>(model.listText.size()))));
            QCOMPARE(text, QString::fromStdString(std::string(model.listText) + '\n' +
                                                  form::sheetText(model)));
            QCOMPARE(m_view->size(), size);
        }
        m_view->showModel(-1);
        QVERIFY(sheet->toPlainText().startsWith("Chakraborty"));
        part<QTableWidget>("models")->setCurrentCell(2, 3);
        QVERIFY(sheet->toPlainText().contains("percent"));
    }

    // The sheet wraps at the view's width: no line runs out of sight, none needs a scroll bar
    // across, and a wrapped caveat's later lines stand clear of its bullet.
    void sheetWraps() {
        m_view->resize(480, 560);
        m_view->showModel(2);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        auto* sheet = part<QTextEdit>("sheet");
        // Shown from its first line, the model's name.
        QCOMPARE(sheet->verticalScrollBar()->value(), 0);
        int wrapped = 0;
        for (const estimation::PtfModel& model : estimation::ModelCatalogue) {
            m_view->showModel(model.position);
            QCoreApplication::processEvents();
            QCOMPARE(sheet->horizontalScrollBar()->maximum(), 0);
            QCOMPARE(sheet->verticalScrollBar()->value(), 0);
            for (QTextBlock block = sheet->document()->begin(); block.isValid();
                 block = block.next()) {
                const QTextLayout* layout = block.layout();
                QVERIFY(layout->boundingRect().width() <= sheet->viewport()->width());
                if (block.text().startsWith(QStringLiteral("\u2022 ")) && layout->lineCount() > 1) {
                    ++wrapped;
                    QVERIFY(layout->lineAt(1).x() > layout->lineAt(0).x());
                }
            }
        }
        QVERIFY(wrapped > 0);
    }

    // One row marked at a time, whichever way it was chosen: from the window (also while Ctrl
    // is held, as after Ctrl+D), with Ctrl or Shift in the table, or by the arrows.
    void oneRowMarked() {
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
        auto* table = part<QTableWidget>("models");
        const auto marked = [table] {
            QList<int> rows;
            for (const QModelIndex& index : table->selectionModel()->selectedRows()) {
                rows << index.row();
            }
            return rows;
        };
        QCOMPARE(marked(), QList<int>{0});
        QTest::keyPress(table, Qt::Key_Control);
        m_view->showModel(2);
        QTest::keyRelease(table, Qt::Key_Control);
        QCOMPARE(marked(), QList<int>{2});
        for (const auto modifier : {Qt::ControlModifier, Qt::ShiftModifier}) {
            const QRect row = table->visualRect(table->model()->index(4, 0));
            QTest::mouseClick(table->viewport(), Qt::LeftButton, modifier, row.center());
            QCOMPARE(marked(), QList<int>{4});
            m_view->showModel(2);
        }
        table->setFocus();
        QTest::keyClick(table, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(marked(), QList<int>{3});
        QVERIFY(part<QTextEdit>("sheet")->toPlainText().startsWith("Tomasella"));
    }

    // Choosing the USDA scale shows the soil typed before on it: converted for the models,
    // classed on the USDA triangle.
    void particleSizes() {
        show({"40", "40", "20", "5"});
        QCOMPARE(part<QLabel>("texture")->text(), "Texture class: clay loam");
        part<QComboBox>("particleSizes")->setCurrentIndex(1);
        QCOMPARE(m_view->scale(), estimation::ParticleSizeScale::usda);
        QCOMPARE(part<QLabel>("texture")->text(), "USDA texture class: loam");
        QCOMPARE(cell(3, form::SoilColumn::fc), "24.32");
        QVERIFY(part<QLabel>("warnings")->text().startsWith("Sand and silt were converted"));
    }

    void namesForScreenReaders() {
        for (const char* name :
             {"particleSizes", "triangle", "texture", "warnings", "models", "sheet", "copy",
              "savePicture", "retentionCurve", "curveTable", "curveNotes"}) {
            const QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(part(name));
            QVERIFY2(!spoken->text(QAccessible::Name).isEmpty(), name);
        }
        show({"50", "30", "13", ""});
        QVERIFY(part("triangle")->accessibleDescription().contains("sand + silt + clay = 93"));
        QVERIFY(m_view->minimumSize() != m_view->maximumSize());
        // A new view is no larger than its screen (800 x 600 here).
        const QSize screen = m_view->screen()->availableGeometry().size();
        QCOMPARE(m_view->size().boundedTo(screen), m_view->size());
        QCOMPARE(m_view->windowTitle(), "Soil details");
    }

    // The curve's table is the chart's text equivalent: the form's numbers at the standard
    // heads, following the scale chosen in the view; a soil without a curve empties it and
    // says why.
    void retentionCurve() {
        auto* table = part<QTableWidget>("curveTable");
        QCOMPARE(table->rowCount(), static_cast<int>(form::TableHeads.size()));
        QCOMPARE(table->item(4, 0)->text(), "330");
        const auto shown = [&] {
            QStringList column;
            for (int row = 0; row < table->rowCount(); ++row) {
                column << table->item(row, 1)->text();
            }
            return column;
        };
        part<QComboBox>("particleSizes")->setCurrentIndex(1); // USDA
        show({"40", "40", "20", "14.50116"});                 // the paper's loam at OM 2.5 %
        const form::RetentionChart loam = form::retentionChart({"40", "40", "20", "14.50116"}, {},
                                                               estimation::ParticleSizeScale::usda);
        QStringList expected;
        for (const form::CurvePoint& point : loam.table) {
            expected << QString::fromStdString(form::thetaText(point.theta));
        }
        QCOMPARE(shown(), expected);
        QVERIFY(!part<QLabel>("curveNotes")->text().contains("(psd)"));
        QCOMPARE(part<RetentionCurve>("retentionCurve")->chart().table.size(), expected.size());
        part<QComboBox>("particleSizes")->setCurrentIndex(0);
        QVERIFY(shown() != expected);
        QVERIFY(part<QLabel>("curveNotes")->text().contains("(psd)"));
        curveBand();
        show({"40", "40", "20", ""});
        QCOMPARE(shown(), QStringList(table->rowCount(), QString()));
        QCOMPARE(part<QLabel>("curveNotes")->text(), "The curve needs organic carbon.");
        QVERIFY(part("retentionCurve")->accessibleDescription().contains("needs organic carbon"));
    }

    void readableColours_data() {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << QApplication::style()->standardPalette();
        QPalette dark(QColor(0x35, 0x35, 0x35), QColor(0x2d, 0x2d, 0x2d));
        dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
        QTest::newRow("dark") << dark;
        dark.setColor(QPalette::Highlight, QColor(0x30, 0x30, 0x30));
        QTest::newRow("dark, dim highlight") << dark;
    }
    void readableColours() {
        QFETCH(QPalette, palette);
        const TriangleColours colours = triangleColours(palette);
        QCOMPARE(colours.background, palette.color(QPalette::Base));
        QVERIFY(contrastRatio(colours.text, colours.background) >= ReadableContrast);
        QVERIFY(contrastRatio(colours.boundary, colours.background) >= 3);
        QVERIFY(contrastRatio(colours.mark, colours.background) >= 3);
    }

    // Rendered at each pixel ratio, the bottom side stays a line a few device pixels thick,
    // and the soil's point is in the mark's colour where the geometry puts it.
    void sharpAtEveryPixelRatio() {
        TextureTriangle triangle;
        triangle.resize(400, 400);
        triangle.setMark(form::soilMark({"40", "40", "20", ""}, {}));
        const TriangleColours colours = triangleColours(triangle.palette());
        for (const double ratio : {1.0, 1.5, 2.0}) {
            QImage image(QSize(400, 400) * ratio, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            triangle.render(&image);
            // Find the bottom side where the middle column meets it.
            const int x = static_cast<int>(200 * ratio);
            int inked = 0;
            for (int y = image.height() / 2; y < image.height(); ++y) {
                const QColor pixel = image.pixelColor(x, y);
                if (contrastRatio(pixel, colours.background) > 3 && y > image.height() * 0.7) {
                    ++inked;
                } else if (inked > 0) {
                    break;
                }
            }
            QVERIFY2(inked >= 1 && inked <= std::ceil(1.5 * ratio) + 1,
                     qPrintable(QString::number(inked)));
        }
    }

    // The soil's point is drawn where the geometry places it in the widget: at the corners
    // for pure sand, silt and clay, in the middle for equal parts, on a class boundary.
    void pointInTheWidget_data() {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QPointF>("expected"); // as fractions of the triangle's frame
        QTest::newRow("sand") << QStringList{"100", "0", "0"} << QPointF(0, 1);
        QTest::newRow("silt") << QStringList{"0", "100", "0"} << QPointF(1, 1);
        QTest::newRow("clay") << QStringList{"0", "0", "100"} << QPointF(0.5, 0);
        QTest::newRow("centre") << QStringList{"33.3", "33.3", "33.4"} << QPointF(0.5, 2.0 / 3);
        QTest::newRow("boundary") << QStringList{"60", "25", "15"} << QPointF(0.325, 0.85);
    }
    void pointInTheWidget() {
        QFETCH(QStringList, texts);
        QFETCH(QPointF, expected);
        TextureTriangle triangle;
        triangle.resize(400, 400);
        const form::TriangleFrame frame = triangleFrame(triangle.rect(), triangle.font());
        QVERIFY(QRectF(triangle.rect()).contains(QPointF(frame.sand.x, frame.sand.y)));
        QVERIFY(QRectF(triangle.rect()).contains(QPointF(frame.silt.x, frame.clay.y)));
        const QPointF at(frame.sand.x + expected.x() * (frame.silt.x - frame.sand.x),
                         frame.clay.y + expected.y() * (frame.sand.y - frame.clay.y));
        triangle.setMark(form::soilMark(
            {texts[0].toStdString(), texts[1].toStdString(), texts[2].toStdString(), ""}, {}));
        QVERIFY(triangle.mark().point.has_value());
        const form::PlanePoint placed = place(frame, *triangle.mark().point);
        QVERIFY(std::hypot(placed.x - at.x(), placed.y - at.y()) < 0.5);
        QImage image(triangle.size(), QImage::Format_ARGB32_Premultiplied);
        triangle.render(&image);
        QCOMPARE(image.pixelColor(at.toPoint()), triangleColours(triangle.palette()).mark);
    }

    void savesPictures() {
        show({"40", "40", "20", "5"});
        QTemporaryDir dir;
        const QString png = dir.filePath("triangle.png");
        const QString svg = dir.filePath("triangle.SVG");
        QVERIFY(m_view->savePicture(png));
        QVERIFY(m_view->savePicture(svg));
        QCOMPARE(QImage(png).size(), QSize(1200, 1120));
        QFile drawing(svg);
        QVERIFY(drawing.open(QIODevice::ReadOnly));
        const QByteArray content = drawing.readAll();
        QVERIFY(content.contains("<svg"));
        QVERIFY(content.contains("Clay (%)"));
        QVERIFY(!m_view->savePicture(dir.filePath("missing/triangle.png")));
        QVERIFY(!m_view->savePicture(dir.filePath("missing/triangle.svg")));
    }
};

} // namespace talvo::window::test

QTEST_MAIN(talvo::window::test::SoilViewTest)
#include "soil_view_test.moc"
