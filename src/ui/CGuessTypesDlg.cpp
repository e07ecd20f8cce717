#include "ui/CGuessTypesDlg.h"

#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "ui/CCodePage.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qm {

namespace {

// What a row offers as the name: the form `mobtool guess` writes.
QString OfferedName(std::uint32_t id)
{
    return QStringLiteral("ID_") + QString::fromLatin1(IdKey(id));
}

QTableWidgetItem* Fixed(const QString& text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setTextAlignment(alignment);
    return item;
}

} // namespace

CGuessTypesDlg::CGuessTypesDlg(std::vector<TypeGuess> guesses, const CCodePage& codePage, QWidget* parent)
    : QDialog(parent), m_guesses(std::move(guesses)), m_codePage(codePage),
      m_table(new QTableWidget(static_cast<int>(m_guesses.size()), kColumnCount, this))
{
    setWindowTitle(QStringLiteral("Guess types"));
    m_table->setHorizontalHeaderLabels({QStringLiteral("Use"), QStringLiteral("Id"), QStringLiteral("Chunks"),
                                        QStringLiteral("Guess"), QStringLiteral("Confidence"), QStringLiteral("Name"),
                                        QStringLiteral("Reason")});
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    for (int row = 0; row < static_cast<int>(m_guesses.size()); ++row) {
        const TypeGuess& guess = m_guesses[static_cast<std::size_t>(row)];
        const bool guessed = guess.dataType != DT_NULL;
        auto* use = Fixed(QString());
        // An id with no guess has no type to accept.
        use->setFlags(guessed ? Qt::ItemIsEnabled | Qt::ItemIsUserCheckable : Qt::NoItemFlags);
        use->setCheckState(Qt::Unchecked);
        m_table->setItem(row, kUse, use);
        m_table->setItem(row, kId, Fixed(QString::fromLatin1(TypeIdText(guess.id))));
        m_table->setItem(row, kChunks, Fixed(QString::number(guess.chunks), right));
        m_table->setItem(row, kType,
                         Fixed(guessed ? QString::fromLatin1(kDataTypeNames.at(static_cast<std::size_t>(guess.dataType)))
                                       : QStringLiteral("(none)")));
        m_table->setItem(row, kConfidence, Fixed(QStringLiteral("%1%").arg(guess.confidence), right));
        auto* name = new QTableWidgetItem(OfferedName(guess.id));
        name->setFlags(guessed ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable : Qt::NoItemFlags);
        m_table->setItem(row, kName, name);
        m_table->setItem(row, kReason, Fixed(QString::fromStdString(guess.reason)));
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Apply ticked"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("Ids of the loaded files that have no description. Tick the guesses to accept and "
                       "name them; they become description entries in one step, which Undo takes back."),
        this));
    layout->itemAt(0)->widget()->setProperty("wordWrap", true);
    layout->addWidget(m_table);
    layout->addWidget(buttons);
    resize(760, 420);
}

std::vector<std::pair<std::string, CFieldDesc>> CGuessTypesDlg::AcceptedEntries() const
{
    std::vector<std::pair<std::string, CFieldDesc>> entries;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        if (m_table->item(row, kUse)->checkState() != Qt::Checked)
            continue;
        const TypeGuess& guess = m_guesses[static_cast<std::size_t>(row)];
        QString name = m_table->item(row, kName)->text().trimmed();
        if (name.isEmpty())
            name = OfferedName(guess.id);
        CFieldDesc entry;
        entry.m_strType = kDataTypeNames.at(static_cast<std::size_t>(guess.dataType));
        entry.m_strName = m_codePage.Encode(name);
        entries.emplace_back(IdKey(guess.id), std::move(entry));
    }
    return entries;
}

} // namespace qm
