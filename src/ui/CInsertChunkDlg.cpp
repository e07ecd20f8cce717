#include "ui/CInsertChunkDlg.h"

#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace qm {

namespace {

bool IsHexDigit(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
}

std::optional<std::uint32_t> HexId(QString text)
{
    text = text.trimmed();
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    // Only digits: a sign or inner spaces, which toUInt would take, are no id.
    if (text.isEmpty() || text.size() > 8 || !std::all_of(text.begin(), text.end(), IsHexDigit))
        return std::nullopt;
    return text.toUInt(nullptr, 16);
}

} // namespace

CInsertChunkDlg::CInsertChunkDlg(const std::vector<Choice>& choices, QWidget* parent)
    : QDialog(parent), m_pId(new QComboBox(this))
{
    setWindowTitle(QStringLiteral("Insert chunk"));

    m_pId->setEditable(true);
    m_pId->setInsertPolicy(QComboBox::NoInsert);
    for (const auto& [text, id] : choices)
        m_pId->addItem(text, id);
    // Typing part of a name finds it anywhere in the list.
    m_pId->completer()->setFilterMode(Qt::MatchContains);
    m_pId->completer()->setCompletionMode(QCompleter::PopupCompletion);
    m_pId->setMinimumContentsLength(36);
    m_pId->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_pId->lineEdit()->setPlaceholderText(QStringLiteral("a name, or a hex id such as 0001A000"));
    m_pId->setCurrentIndex(-1);

    auto* label = new QLabel(QStringLiteral("Chunk &type:"), this);
    label->setBuddy(m_pId);
    auto* form = new QFormLayout;
    form->addRow(label, m_pId);
    auto* note = new QLabel(QStringLiteral("The chunk goes inside the selected container or file, else after "
                                           "the selected chunk. Its payload is empty."),
                            this);
    note->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
}

QString CInsertChunkDlg::GetText() const
{
    return m_pId->currentText();
}

std::optional<std::uint32_t> CInsertChunkDlg::GetId() const
{
    const QString text = GetText();
    if (const int listed = m_pId->findText(text, Qt::MatchExactly); listed >= 0)
        return m_pId->itemData(listed).toUInt();
    return HexId(text);
}

} // namespace qm
