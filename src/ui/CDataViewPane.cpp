#include "ui/CDataViewPane.h"

#include "ui/CCodePage.h"
#include "ui/CHexView.h"
#include "ui/CInspectorPanel.h"

namespace qm {

namespace {

// Below this width the inspector goes under the hex view.
constexpr int kSideBySideWidth = 860;

QString Hex8(std::size_t value)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(static_cast<qulonglong>(value), 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace

CDataViewPane::CDataViewPane(QWidget* parent)
    : QSplitter(Qt::Horizontal, parent),
      m_hex(new CHexView(this)),
      m_inspector(new CInspectorPanel(this)),
      m_pCodePage(&CCodePage::Get(CCodePage::kDefault))
{
    setChildrenCollapsible(false);
    setStretchFactor(0, 3);
    setStretchFactor(1, 2);
    connect(m_hex, &CHexView::CursorMoved, this, &CDataViewPane::OnCursorMoved);
    connect(m_inspector, &CInspectorPanel::UseTypeRequested, this, &CDataViewPane::UseTypeRequested);
}

void CDataViewPane::ShowChunk(CPayloadBytes bytes, std::int32_t dataType, const QString& guess)
{
    m_bytes = std::move(bytes);
    m_bChunk = true;
    m_inspector->ShowGuess(guess);
    m_inspector->ShowPreviews(m_bytes->Bytes(), dataType, true, *m_pCodePage);
    m_hex->SetBytes(m_bytes->Bytes());
}

void CDataViewPane::ShowNothing()
{
    m_bChunk = false;
    m_inspector->ShowGuess(QString());
    m_inspector->ShowPreviews({}, 0, false, *m_pCodePage);
    m_hex->SetBytes({});
    m_bytes.reset();
}

void CDataViewPane::SetCodePage(const CCodePage& codePage)
{
    m_pCodePage = &codePage;
    m_hex->SetCodePage(codePage);
}

QString CDataViewPane::SelectionText() const
{
    if (!m_bChunk || m_hex->Bytes().empty())
        return QString();
    const CHexSelection& selection = m_hex->Selection();
    const std::size_t length = selection.Length();
    if (length == 0)
        return QStringLiteral("Offset %1").arg(Hex8(selection.Cursor()));
    return QStringLiteral("Start %1, length %2").arg(Hex8(selection.Start())).arg(length);
}

void CDataViewPane::OnCursorMoved()
{
    const CHexSelection& selection = m_hex->Selection();
    m_inspector->ShowReadings(m_hex->Bytes(), selection.Start(), selection.Length(), *m_pCodePage);
    emit SelectionShown(SelectionText());
}

void CDataViewPane::resizeEvent(QResizeEvent* event)
{
    setOrientation(width() >= kSideBySideWidth ? Qt::Horizontal : Qt::Vertical);
    QSplitter::resizeEvent(event);
}

} // namespace qm
