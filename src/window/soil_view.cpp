#include "window/soil_view.h"

#include "form/particle_sizes.h"
#include "window/soil_summary.h"
#include "window/texture_triangle.h"
#include "window/triangle_picture.h"

#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstddef>
#include <string>

namespace talvo::window {

namespace {

constexpr QSize PictureSize{600, 560};

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
    auto* table = new QTableWidget(estimation::ModelCount, SoilColumnCount, parent);
    table->setObjectName(QStringLiteral("models"));
    table->setAccessibleName(QObject::tr("Estimates of every model"));
    QStringList header;
    for (const std::string& title : soilTableHeader()) {
        header << text(title);
    }
    table->setHorizontalHeaderLabels(header);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setTabKeyNavigation(false); // Tab leaves the table, arrows move inside it
    table->setWordWrap(true);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column) {
            auto* item = new QTableWidgetItem;
            const auto alignment = column >= static_cast<int>(SoilColumn::fc) &&
                                           column <= static_cast<int>(SoilColumn::awc)
                                       ? Qt::AlignRight
                                       : Qt::AlignLeft;
            item->setTextAlignment(alignment | Qt::AlignVCenter);
            table->setItem(row, column, item);
        }
    }
    return table;
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
      m_warnings(new QLabel(this)), m_table(modelTable(this)),
      m_copy(new QPushButton(tr("&Copy"), this)),
      m_save(new QPushButton(tr("&Save picture…"), this)) {
    setObjectName(QStringLiteral("SoilView"));
    setWindowTitle(tr("Soil details"));
    setAccessibleName(windowTitle());

    m_texture->setObjectName(QStringLiteral("texture"));
    m_texture->setTextFormat(Qt::PlainText);
    QFont bold = m_texture->font();
    bold.setBold(true);
    m_texture->setFont(bold);
    m_warnings->setObjectName(QStringLiteral("warnings"));
    m_warnings->setTextFormat(Qt::PlainText);
    m_warnings->setWordWrap(true);
    m_warnings->setAccessibleName(tr("Warnings about the soil"));
    m_copy->setObjectName(QStringLiteral("copy"));
    m_copy->setAccessibleDescription(tr("Copies the table, tab-separated"));
    m_save->setObjectName(QStringLiteral("savePicture"));
    m_save->setAccessibleDescription(tr("Saves the triangle as a PNG or SVG picture"));

    auto* scaleLabel = new QLabel(tr("&Particle sizes:"), this);
    scaleLabel->setBuddy(m_scale);
    auto* scaleRow = new QHBoxLayout;
    scaleRow->addWidget(scaleLabel);
    scaleRow->addWidget(m_scale);
    scaleRow->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_copy);
    buttons->addWidget(m_save);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(scaleRow);
    layout->addWidget(m_texture);
    layout->addWidget(m_warnings);
    layout->addWidget(m_triangle, 1);
    layout->addWidget(m_table);
    layout->addLayout(buttons);

    setTabOrder(m_copy, m_save);
    setTabOrder(m_save, m_table);
    setTabOrder(m_table, m_scale);
    m_copy->setFocus();

    // Wrapped remarks need other heights when their column's width changes.
    connect(m_table->horizontalHeader(), &QHeaderView::sectionResized, this, &SoilView::fitTable,
            Qt::QueuedConnection);
    connect(m_scale, &QComboBox::currentIndexChanged, this, &SoilView::showAgain);
    connect(m_copy, &QPushButton::clicked, this, &SoilView::copyTable);
    connect(m_save, &QPushButton::clicked, this, &SoilView::askForPicture);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            &QWidget::close);

    showInputs({"", "", "", ""}, {});
    resize(720, 780);
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
    const SoilMark mark = soilMark(texts, separator, chosen);
    m_texture->setText(text(textureLine(texts, separator, chosen)));
    m_warnings->setText(joined(soilWarnings(texts, separator, chosen)));
    m_triangle->setAccessibleDescription(m_texture->text() + QStringLiteral(". ") +
                                         text(mark.text));
    m_triangle->setMark(mark);

    m_rows = soilTable(texts, separator, chosen);
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        for (std::size_t column = 0; column < m_rows[row].size(); ++column) {
            m_table->item(static_cast<int>(row), static_cast<int>(column))
                ->setText(text(m_rows[row][column]));
        }
    }
    fitTable();
}

// As tall as its rows, so that the rest of a larger window goes to the triangle.
void SoilView::fitTable() {
    m_table->resizeRowsToContents();
    m_table->setFixedHeight(m_table->horizontalHeader()->sizeHint().height() +
                            m_table->verticalHeader()->length() + 2 * m_table->frameWidth());
}

void SoilView::showFields(const form::FormFields& fields, estimation::DecimalSeparator separator) {
    using estimation::Input;
    const std::string sand = fields.inputText(Input::sand);
    const std::string silt = fields.inputText(Input::silt);
    const std::string clay = fields.inputText(Input::clay);
    const std::string oc = fields.inputText(Input::oc);
    showInputs({sand, silt, clay, oc}, separator);
}

void SoilView::copyTable() const {
    QGuiApplication::clipboard()->setText(text(tabSeparated(m_rows)));
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
