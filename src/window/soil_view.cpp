#include "window/soil_view.h"

#include "form/particle_sizes.h"
#include "form/retention_chart.h"
#include "form/sheet_text.h"
#include "form/soil_summary.h"
#include "window/application.h"
#include "window/retention_curve.h"
#include "window/texture_triangle.h"
#include "window/triangle_picture.h"

#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>

namespace talvo::window {

namespace {

constexpr QSize PictureSize{600, 560};
// The width of the retention curve's column, beside the rest.
constexpr int CurveWidth = 300;
// The size the view asks for; a smaller screen gets less.
constexpr QSize ViewSize{720 + CurveWidth, 780};
// Lines of the model sheet in view at once; the rest scrolls.
constexpr int SheetLines = 5;

bool isNumberColumn(int column) {
    return column >= static_cast<int>(form::SoilColumn::fc) &&
           column <= static_cast<int>(form::SoilColumn::awc);
}

// Numbers stay on one line and end in "…" where the column is too narrow: a long number must
// neither widen the table nor pass for a shorter one. The whole number is in the tooltip.
class NumberDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->features &= ~QStyleOptionViewItem::WrapText;
        option->textElideMode = Qt::ElideRight;
    }
};

QString text(const std::string& words) {
    return QString::fromStdString(words);
}

QString joined(const std::vector<std::string>& sentences) {
    QStringList list;
    for (const std::string& sentence : sentences) {
        list << text(sentence);
    }
    return list.join(QLatin1Char(' '));
}

QTableWidget* modelTable(QWidget* parent) {
    // The models, then their spread.
    auto* table = new QTableWidget(estimation::ModelCount + 1, form::SoilColumnCount, parent);
    table->setObjectName(QStringLiteral("models"));
    table->setAccessibleName(QObject::tr("Estimates of every model"));
    QStringList header;
    for (const std::string& title : form::soilTableHeader()) {
        header << text(title);
    }
    table->setHorizontalHeaderLabels(header);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    // One row marked, the one whose sheet is shown.
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setTabKeyNavigation(false); // Tab leaves the table, arrows move inside it
    table->setWordWrap(true);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* numbers = new NumberDelegate(table);
    for (int column = 0; column < table->columnCount(); ++column) {
        if (isNumberColumn(column)) {
            table->horizontalHeader()->setSectionResizeMode(column, QHeaderView::Fixed);
            table->setItemDelegateForColumn(column, numbers);
        }
    }
    table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column) {
            auto* item = new QTableWidgetItem;
            const auto alignment = isNumberColumn(column) ? Qt::AlignRight : Qt::AlignLeft;
            item->setTextAlignment(alignment | Qt::AlignVCenter);
            table->setItem(row, column, item);
        }
    }
    return table;
}

// The sheet's lines as paragraphs that wrap at the view's width; a caveat's wrapped lines
// stand under its first word, not under the bullet, so that it reads as one item.
void showSheetText(QTextEdit& sheet, const QString& sheetText) {
    const QString bullet = QStringLiteral("\u2022 ");
    const qreal hang = QFontMetricsF(sheet.font()).horizontalAdvance(bullet);
    sheet.clear();
    QTextCursor cursor(sheet.document());
    const QStringList lines = sheetText.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QTextBlockFormat format;
        if (lines[i].startsWith(bullet)) {
            format.setLeftMargin(hang);
            format.setTextIndent(-hang);
        }
        if (i == 0) {
            cursor.setBlockFormat(format);
        } else {
            cursor.insertBlock(format);
        }
        cursor.insertText(lines[i]);
    }
    // From its first line, the model's name.
    sheet.moveCursor(QTextCursor::Start);
}

// The particle-size scales, as the form offers them.
QComboBox* scaleChooser(QWidget* parent) {
    auto* chooser = new QComboBox(parent);
    chooser->setObjectName(QStringLiteral("particleSizes"));
    chooser->setAccessibleName(QObject::tr("Particle sizes"));
    for (const form::ParticleSizeChoice& choice : form::particleSizeChoices) {
        chooser->addItem(
            QString::fromUtf8(choice.label.data(), static_cast<qsizetype>(choice.label.size())));
        chooser->setItemData(
            chooser->count() - 1,
            QString::fromUtf8(choice.detail.data(), static_cast<qsizetype>(choice.detail.size())),
            Qt::ToolTipRole);
    }
    return chooser;
}

} // namespace

SoilView::SoilView(QWidget* parent)
    : QWidget(parent, Qt::Window), m_scale(scaleChooser(this)),
      m_triangle(new TextureTriangle(this)), m_texture(new QLabel(this)),
      m_warnings(new QLabel(this)), m_table(modelTable(this)), m_sheet(new QTextEdit(this)),
      m_copy(new QPushButton(tr("&Copy"), this)),
      m_save(new QPushButton(tr("&Save picture…"), this)), m_curve(new RetentionCurve(this)),
      m_curveTable(new QTableWidget(static_cast<int>(form::TableHeads.size()), 4, this)),
      m_curveNotes(new QLabel(this)) {
    setObjectName(QStringLiteral("SoilView"));
    setWindowTitle(tr("Soil details"));
    setAccessibleName(windowTitle());
    describeParts();
    layOut();
    connectParts();
    showInputs({"", "", "", ""}, {});
    showModel(0);
    // Never larger than the screen it opens on; showBeside() also leaves room for the frame.
    resize(screen() != nullptr ? ViewSize.boundedTo(screen()->availableGeometry().size())
                               : ViewSize);
}

void SoilView::describeParts() {
    m_texture->setObjectName(QStringLiteral("texture"));
    m_texture->setTextFormat(Qt::PlainText);
    QFont bold = m_texture->font();
    bold.setBold(true);
    m_texture->setFont(bold);
    m_warnings->setObjectName(QStringLiteral("warnings"));
    m_warnings->setTextFormat(Qt::PlainText);
    m_warnings->setWordWrap(true);
    m_warnings->setAccessibleName(tr("Warnings about the soil"));
    m_sheet->setObjectName(QStringLiteral("sheet"));
    m_sheet->setAccessibleName(tr("Sheet of the model chosen in the table"));
    m_sheet->setReadOnly(true);
    m_sheet->setAcceptRichText(false);
    m_sheet->setWordWrapMode(QTextOption::WordWrap);
    m_sheet->setTabChangesFocus(true);
    m_copy->setObjectName(QStringLiteral("copy"));
    m_copy->setAccessibleDescription(tr("Copies the soil and the table, tab-separated"));
    m_save->setObjectName(QStringLiteral("savePicture"));
    m_save->setAccessibleDescription(tr("Saves the triangle as a PNG or SVG picture"));
}

// Top to bottom; the triangle takes what the rest leaves, and the sheet a few lines, which
// scroll, so that no model's sheet changes the view's size.
void SoilView::layOut() {
    const QFontMetrics metrics(m_sheet->font());
    m_sheet->setFixedHeight(
        SheetLines * metrics.lineSpacing() +
        2 * (m_sheet->frameWidth() + static_cast<int>(m_sheet->document()->documentMargin())));
    auto* scaleLabel = new QLabel(tr("&Particle sizes:"), this);
    scaleLabel->setBuddy(m_scale);
    // The scale beside the class it decides, not on a line of its own, so that the view still
    // fits a small screen.
    auto* textureRow = new QHBoxLayout;
    textureRow->addWidget(m_texture, 1);
    textureRow->addWidget(scaleLabel);
    textureRow->addWidget(m_scale);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_copy);
    buttons->addWidget(m_save);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout;
    layout->addLayout(textureRow);
    layout->addWidget(m_warnings);
    layout->addWidget(m_triangle, 1);
    layout->addWidget(m_table);
    layout->addWidget(m_sheet);
    layout->addLayout(buttons);
    auto* columns = new QHBoxLayout(this);
    columns->addLayout(layout, 1);
    columns->addLayout(curvePanel());

    setTabOrder(m_copy, m_save);
    setTabOrder(m_save, m_table);
    setTabOrder(m_table, m_sheet);
    setTabOrder(m_sheet, m_scale);
    setTabOrder(m_scale, m_curveSpread[0]);
    setTabOrder(m_curveSpread[0], m_curveSpread[1]);
    setTabOrder(m_curveSpread[1], m_curveSpread[2]);
    setTabOrder(m_curveSpread[2], m_curveTable);
    m_copy->setFocus();
}

void SoilView::connectParts() {
    // Wrapped remarks need other heights when their column's width changes.
    connect(m_table->horizontalHeader(), &QHeaderView::sectionResized, this, &SoilView::fitTable,
            Qt::QueuedConnection);
    connect(m_table, &QTableWidget::currentCellChanged, this, &SoilView::showSheet);
    connect(m_scale, &QComboBox::currentIndexChanged, this, &SoilView::showAgain);
    connect(m_scale, &QComboBox::currentIndexChanged, this, &SoilView::scaleChanged);
    connect(m_copy, &QPushButton::clicked, this, &SoilView::copyTable);
    connect(m_save, &QPushButton::clicked, this, &SoilView::askForPicture);
    // Only the curve reads the deviations.
    for (QLineEdit* box : m_curveSpread) {
        connect(box, &QLineEdit::textChanged, this, [this] {
            showCurve({m_texts[0], m_texts[1], m_texts[2], m_texts[3]});
        });
    }
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);
}

void SoilView::showModel(int modelIndex) {
    if (estimation::modelAt(modelIndex) != nullptr) {
        // Chosen in the window, perhaps with Ctrl still held (Ctrl+D): the row replaces the
        // one marked before rather than joining it.
        m_table->setCurrentCell(modelIndex, 0,
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        showSheet(modelIndex);
    }
}

void SoilView::showSheet(int row) {
    if (const estimation::PtfModel* model = estimation::modelAt(row)) {
        showSheetText(*m_sheet,
                      text(std::string(model->listText) + '\n' + form::sheetText(*model)));
    }
}

void SoilView::showBeside(const QWidget& window) {
    if (!m_placed) {
        m_placed = true;
        // Decorations as thick as the window's own, which has been shown.
        const QMargins frame(window.geometry().left() - window.frameGeometry().left(),
                             window.geometry().top() - window.frameGeometry().top(),
                             window.frameGeometry().right() - window.geometry().right(),
                             window.frameGeometry().bottom() - window.geometry().bottom());
        const QScreen* screen = window.screen();
        const QRect available =
            screen != nullptr ? screen->availableGeometry()
                              : QRect(window.frameGeometry().topLeft(), ViewSize.grownBy(frame));
        const QRect placed =
            placedBeside(window.frameGeometry(), ViewSize.grownBy(frame), available);
        resize(placed.size().shrunkBy(frame).expandedTo(minimumSizeHint()));
        move(placed.topLeft());
    }
    show();
    raise();
    activateWindow();
}

estimation::ParticleSizeScale SoilView::scale() const {
    const auto index = static_cast<std::size_t>(std::max(m_scale->currentIndex(), 0));
    return form::particleSizeChoices.at(index).scale;
}

void SoilView::showAgain() {
    showInputs({m_texts[0], m_texts[1], m_texts[2], m_texts[3]}, m_separator);
}

void SoilView::showInputs(const estimation::InputTexts& texts,
                          estimation::DecimalSeparator separator) {
    const std::array<std::string, 4> kept{std::string(texts[0]), std::string(texts[1]),
                                          std::string(texts[2]), std::string(texts[3])};
    m_texts = kept;
    m_separator = separator;
    const estimation::ParticleSizeScale chosen = scale();
    const form::SoilMark mark = form::soilMark(texts, separator, chosen);
    m_texture->setText(text(form::textureLine(texts, separator, chosen)));
    m_warnings->setText(joined(form::soilWarnings(texts, separator, chosen)));
    m_triangle->setAccessibleDescription(m_texture->text() + QStringLiteral(". ") +
                                         text(mark.text));
    m_triangle->setMark(mark);

    const auto showRow = [this](int row, const form::SoilRow& cells) {
        for (std::size_t column = 0; column < cells.size(); ++column) {
            QTableWidgetItem* item = m_table->item(row, static_cast<int>(column));
            item->setText(text(cells[column]));
            if (isNumberColumn(static_cast<int>(column))) {
                item->setToolTip(item->text());
            }
        }
    };
    m_rows = form::soilTable(texts, separator, chosen);
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        showRow(static_cast<int>(row), m_rows[row]);
    }
    showRow(estimation::ModelCount, form::soilSpread(texts, separator, chosen));
    fitTable();
    showCurve(texts);
}

// Number columns as wide as their numbers up to a width that holds any plausible one, the
// remarks in the rest. At most as tall as its rows, so that the rest of a larger window goes to
// the triangle; on a small screen it scrolls, and the buttons below it stay in view.
void SoilView::fitTable() {
    const int widest = m_table->fontMetrics().horizontalAdvance(QStringLiteral("-0000.00")) +
                       2 * m_table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12;
    for (int column = 0; column < m_table->columnCount(); ++column) {
        if (isNumberColumn(column)) {
            // Public on the view class, protected on the table.
            const QAbstractItemView& view = *m_table;
            const int title = m_table->horizontalHeader()->sectionSizeHint(column);
            const int wanted = std::max(view.sizeHintForColumn(column), title);
            m_table->setColumnWidth(column, std::min(wanted, std::max(widest, title)));
        }
    }
    m_table->resizeRowsToContents();
    const int header = m_table->horizontalHeader()->sizeHint().height() + 2 * m_table->frameWidth();
    m_table->setMaximumHeight(header + m_table->verticalHeader()->length());
    m_table->setMinimumHeight(std::min(
        m_table->maximumHeight(), header + 3 * m_table->verticalHeader()->defaultSectionSize()));
}

// ---- Retention curve

QLayout* SoilView::curvePanel() {
    m_curveTable->setObjectName(QStringLiteral("curveTable"));
    m_curveTable->setAccessibleName(tr("Water content at standard suction heads"));
    m_curveTable->setHorizontalHeaderLabels(
        {tr("Head (cm)"), tr("Water (% v/v)"), tr("p05"), tr("p95")});
    m_curveTable->verticalHeader()->hide();
    m_curveTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_curveTable->setTabKeyNavigation(false);
    m_curveTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // Every head in view: the table is the chart's text equivalent, not a list to scroll.
    m_curveTable->verticalHeader()->setDefaultSectionSize(
        m_curveTable->fontMetrics().lineSpacing() + 6);
    m_curveTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_curveTable->setFixedHeight(m_curveTable->horizontalHeader()->sizeHint().height() +
                                 m_curveTable->verticalHeader()->defaultSectionSize() *
                                     m_curveTable->rowCount() +
                                 2 * m_curveTable->frameWidth());
    for (int row = 0; row < m_curveTable->rowCount(); ++row) {
        for (int column = 0; column < m_curveTable->columnCount(); ++column) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_curveTable->setItem(row, column, item);
        }
        const double head = form::TableHeads.at(static_cast<std::size_t>(row));
        m_curveTable->item(row, 0)->setText(QLocale::c().toString(head, 'f', 0));
    }
    m_curveNotes->setObjectName(QStringLiteral("curveNotes"));
    m_curveNotes->setTextFormat(Qt::PlainText);
    m_curveNotes->setWordWrap(true);
    m_curveNotes->setAccessibleName(tr("Notes on the curve"));
    auto* title = new QLabel(tr("Water-retention curve (Saxton and Rawls, 2006)"), this);
    title->setWordWrap(true);
    auto* panel = new QVBoxLayout;
    panel->addWidget(title);
    panel->addLayout(spreadRow());
    panel->addWidget(m_curve, 1);
    panel->addWidget(m_curveTable);
    panel->addWidget(m_curveNotes);
    return panel;
}

// Sand, clay and OC in the form's units, each label above its box so that the panel stays
// narrow; silt follows them, so it has no box.
QLayout* SoilView::spreadRow() {
    const std::array<QString, 3> labels{tr("S&and (%)"), tr("C&lay (%)"), tr("&OC (g/kg)")};
    const std::array<QString, 3> names{QStringLiteral("sdSand"), QStringLiteral("sdClay"),
                                       QStringLiteral("sdOc")};
    auto* grid = new QGridLayout;
    auto* title = new QLabel(tr("Standard deviations, for the p05-p95 band:"), this);
    title->setWordWrap(true);
    title->setToolTip(tr("The band holds the middle 90 % of %1 soils drawn with them (seed "
                         "%2); silt follows sand and clay.")
                          .arg(estimation::DefaultDraws)
                          .arg(estimation::DefaultSeed));
    grid->addWidget(title, 0, 0, 1, static_cast<int>(m_curveSpread.size()));
    for (std::size_t i = 0; i < m_curveSpread.size(); ++i) {
        m_curveSpread[i] = new QLineEdit(this);
        m_curveSpread[i]->setObjectName(names[i]);
        m_curveSpread[i]->setAccessibleDescription(title->toolTip());
        auto* label = new QLabel(labels[i], this);
        label->setBuddy(m_curveSpread[i]);
        grid->addWidget(label, 1, static_cast<int>(i));
        grid->addWidget(m_curveSpread[i], 2, static_cast<int>(i));
    }
    return grid;
}

void SoilView::showCurve(const estimation::InputTexts& texts) {
    const auto typed = [this](std::size_t i) { return m_curveSpread[i]->text().toStdString(); };
    form::RetentionChart chart =
        form::retentionChart(texts, m_separator, scale(), {typed(0), typed(1), typed(2), {}});
    const auto number = [this](bool shown, double theta) {
        return shown ? text(form::thetaText(theta, m_separator)) : QString();
    };
    for (int row = 0; row < m_curveTable->rowCount(); ++row) {
        const auto at = static_cast<std::size_t>(row);
        const bool curve = at < chart.table.size();
        const bool band = at < chart.tableBand.size();
        m_curveTable->item(row, 1)->setText(number(curve, curve ? chart.table[at].theta : 0.0));
        m_curveTable->item(row, 2)->setText(number(band, band ? chart.tableBand[at].p05 : 0.0));
        m_curveTable->item(row, 3)->setText(number(band, band ? chart.tableBand[at].p95 : 0.0));
    }
    m_curveNotes->setText(chart.failure.empty() ? joined(chart.notes) : text(chart.failure));
    m_curve->setChart(std::move(chart));
}

// ----

void SoilView::showFields(const form::FormFields& fields, estimation::DecimalSeparator separator) {
    using estimation::Input;
    // The sheet follows the chooser; between choices, the row the user picks.
    if (fields.modelIndex() != m_chosen) {
        m_chosen = fields.modelIndex();
        showModel(m_chosen);
    }
    const std::string sand = fields.inputText(Input::sand);
    const std::string silt = fields.inputText(Input::silt);
    const std::string clay = fields.inputText(Input::clay);
    const std::string oc = fields.inputText(Input::oc);
    showInputs({sand, silt, clay, oc}, separator);
}

void SoilView::copyTable() const {
    QGuiApplication::clipboard()->setText(text(form::tabSeparated(
        {m_texts[0], m_texts[1], m_texts[2], m_texts[3]}, m_separator, m_rows, scale())));
}

bool SoilView::savePicture(const QString& path) const {
    return saveTrianglePicture(path, m_triangle->mark(), m_triangle->palette(), m_triangle->font(),
                               PictureSize);
}

void SoilView::askForPicture() {
    const QString path = QFileDialog::getSaveFileName(this, tr("Save picture"),
                                                      QStringLiteral("texture-triangle.png"),
                                                      tr("PNG image (*.png);;SVG drawing (*.svg)"));
    if (!path.isEmpty() && !savePicture(path)) {
        QMessageBox::warning(this, windowTitle(), tr("Could not write %1.").arg(path));
    }
}

} // namespace talvo::window
