#include "ui/CInspectorPanel.h"

#include "desc/DataType.h"
#include "inspect/CDataInspector.h"
#include "inspect/CTypePreview.h"
#include "ui/CCodePage.h"

#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace qm {

namespace {

QTreeWidget* MakeList(const QStringList& headers, QWidget* parent)
{
    auto* list = new QTreeWidget(parent);
    list->setColumnCount(static_cast<int>(headers.size()));
    list->setHeaderLabels(headers);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setFocusPolicy(Qt::NoFocus);
    list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Fixed widths: measuring every row's contents on each cursor move
    // would cost more than reading the bytes.
    list->header()->setStretchLastSection(true);
    list->header()->setSectionResizeMode(QHeaderView::Interactive);
    list->setColumnWidth(0, list->fontMetrics().horizontalAdvance(QStringLiteral("SCRIPT_ENC ")) + 8);
    return list;
}

QString TypeName(std::int32_t dataType)
{
    return QString::fromLatin1(kDataTypeNames.at(static_cast<std::size_t>(dataType)));
}

} // namespace

CInspectorPanel::CInspectorPanel(QWidget* parent)
    : QWidget(parent),
      m_guess(new QLabel(this)),
      m_readings(MakeList({QStringLiteral("Reading"), QStringLiteral("Value")}, this)),
      m_previews(MakeList({QStringLiteral("Type"), QString(), QStringLiteral("Text")}, this))
{
    m_guess->setWordWrap(true);
    m_guess->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_readings->setUniformRowHeights(true);
    {
        // Measured in the list's own font, which the buttons take.
        const QPushButton sample(QStringLiteral("Use this type"), m_previews);
        m_previews->setColumnWidth(1, sample.sizeHint().width() + 4);
    }
    // Multi-line previews need rows of their own heights.
    m_previews->setUniformRowHeights(false);
    m_previews->setWordWrap(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_guess);
    layout->addWidget(m_readings);
    layout->addWidget(new QLabel(QStringLiteral("The whole payload as:"), this));
    layout->addWidget(m_previews, 1);
}

void CInspectorPanel::ShowReadings(std::span<const std::uint8_t> payload, std::size_t offset, std::size_t length,
                                   const CCodePage& codePage)
{
    const std::vector<CDataInspector::Line> lines = CDataInspector::Lines(CDataInspector::Read(payload, offset, length));
    const bool fresh = m_readings->topLevelItemCount() != static_cast<int>(lines.size());
    if (fresh) {
        m_readings->clear();
        // Room for every reading without scrolling.
        const int rows = static_cast<int>(lines.size());
        m_readings->setMinimumHeight(m_readings->header()->sizeHint().height() +
                                     rows * (m_readings->fontMetrics().height() + 2) + 2 * m_readings->frameWidth());
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const CDataInspector::Line& line = lines[i];
        QTreeWidgetItem* item = fresh ? new QTreeWidgetItem(m_readings) : m_readings->topLevelItem(static_cast<int>(i));
        if (fresh)
            item->setText(0, QString::fromLatin1(line.name.data(), static_cast<qsizetype>(line.name.size())));
        // Line breaks in text would make the row grow; they show as symbols.
        QString value = codePage.Decode(line.value);
        value.replace(QLatin1Char('\r'), QChar(0x240D)).replace(QLatin1Char('\n'), QChar(0x240A));
        if (item->text(1) != value)
            item->setText(1, value);
    }
}

void CInspectorPanel::ShowPreviews(std::span<const std::uint8_t> payload, std::int32_t currentType, bool offerTypes,
                                   const CCodePage& codePage)
{
    m_previews->clear();
    if (!offerTypes)
        return;
    for (const TypePreview& preview : CTypePreview::ForPayload(payload)) {
        auto* item = new QTreeWidgetItem(m_previews);
        item->setText(0, TypeName(preview.dataType));
        QString text = codePage.Decode(preview.text);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (preview.more)
            text += QStringLiteral(" \u2026");
        item->setText(2, text);
        item->setTextAlignment(0, Qt::AlignLeft | Qt::AlignTop);
        auto* use = new QPushButton(QStringLiteral("Use this type"), m_previews);
        use->setAutoDefault(false);
        use->setFocusPolicy(Qt::NoFocus);
        use->setEnabled(preview.dataType != currentType);
        // Queued: the change it makes shows the previews again, which
        // deletes this button.
        connect(
            use, &QPushButton::clicked, this, [this, type = preview.dataType] { emit UseTypeRequested(type); },
            Qt::QueuedConnection);
        m_previews->setItemWidget(item, 1, use);
    }
}

void CInspectorPanel::ShowGuess(const QString& text)
{
    m_guess->setText(text);
    m_guess->setVisible(!text.isEmpty());
}

} // namespace qm
