#include "ui/CHexView.h"

#include "ui/CCodePage.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace qm {

namespace {

// A character of the code page that shows as itself: not a control, not
// the stand-in for a byte the code page leaves unassigned.
bool Prints(char16_t ch)
{
    if (ch >= 0xF700 && ch <= 0xF7FF)
        return false;
    const QChar c(ch);
    return c.isPrint() && c.category() != QChar::Other_Format;
}

} // namespace

CHexView::CHexView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    SetCodePage(CCodePage::Get(CCodePage::kDefault));
}

CHexLayout::CharTable CHexView::CharTable(const CCodePage& codePage)
{
    CHexLayout::CharTable table{};
    for (int byte = 0; byte < 256; ++byte) {
        const char16_t ch = codePage.ToChar(static_cast<std::uint8_t>(byte));
        table[static_cast<std::size_t>(byte)] = Prints(ch) ? ch : 0;
    }
    return table;
}

void CHexView::SetCodePage(const CCodePage& codePage)
{
    m_chars = CharTable(codePage);
    viewport()->update();
}

void CHexView::SetBytes(std::span<const std::uint8_t> bytes)
{
    m_bytes = bytes;
    m_layout = CHexLayout(bytes);
    m_selection.Reset(bytes.size());
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    UpdateScrollBars();
    viewport()->update();
    emit CursorMoved();
}

int CHexView::RowHeight() const
{
    return fontMetrics().lineSpacing();
}

int CHexView::CharWidth() const
{
    return std::max(1, fontMetrics().horizontalAdvance(QLatin1Char('0')));
}

int CHexView::VisibleRows() const
{
    return std::max(1, viewport()->height() / RowHeight());
}

void CHexView::UpdateScrollBars()
{
    // A scroll bar counts in int; 64 MiB is 4 Mi rows, far from its end.
    const auto rows = static_cast<int>(std::min<std::size_t>(m_layout.RowCount(), INT_MAX));
    verticalScrollBar()->setRange(0, std::max(0, rows - VisibleRows()));
    verticalScrollBar()->setPageStep(VisibleRows());
    const int lineWidth = (CharStart() + static_cast<int>(CHexLayout::kBytesPerRow) + 1) * CharWidth();
    horizontalScrollBar()->setRange(0, std::max(0, lineWidth - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void CHexView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CHexView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(viewport());
    const int rowHeight = RowHeight();
    const int charWidth = CharWidth();
    const int ascent = fontMetrics().ascent();
    const int left = -horizontalScrollBar()->value() + charWidth / 2;
    const QPalette& pal = palette();
    const QColor selectedBack = pal.color(hasFocus() ? QPalette::Active : QPalette::Inactive, QPalette::Highlight);
    const QColor selectedText =
        pal.color(hasFocus() ? QPalette::Active : QPalette::Inactive, QPalette::HighlightedText);
    const QColor offsetColor = pal.color(QPalette::PlaceholderText);

    const auto first = static_cast<std::size_t>(verticalScrollBar()->value());
    const std::size_t end = std::min(m_layout.RowCount(), first + static_cast<std::size_t>(VisibleRows()) + 1);
    for (std::size_t row = first; row < end; ++row) {
        const int y = static_cast<int>(row - first) * rowHeight;
        const std::size_t rowOffset = CHexLayout::RowOffset(row);
        const std::size_t inRow = m_layout.RowBytes(row).size();
        // The selection's background first, in both columns.
        for (std::size_t i = 0; i < inRow; ++i) {
            if (!m_selection.Contains(rowOffset + i))
                continue;
            const int hexX = left + (HexStart() + static_cast<int>(CHexLayout::HexColumn(i))) * charWidth;
            const int charX = left + (CharStart() + static_cast<int>(i)) * charWidth;
            painter.fillRect(hexX, y, 2 * charWidth, rowHeight, selectedBack);
            painter.fillRect(charX, y, charWidth, rowHeight, selectedBack);
        }
        painter.setPen(offsetColor);
        painter.drawText(left, y + ascent, QString::fromLatin1(CHexLayout::OffsetText(row)));
        const std::string hex = m_layout.HexText(row);
        const std::u16string chars = m_layout.CharText(row, m_chars);
        for (std::size_t i = 0; i < inRow; ++i) {
            const bool selected = m_selection.Contains(rowOffset + i);
            painter.setPen(selected ? selectedText : pal.color(QPalette::Text));
            const int hexX = left + (HexStart() + static_cast<int>(CHexLayout::HexColumn(i))) * charWidth;
            painter.drawText(hexX, y + ascent, QString::fromLatin1(hex.data() + CHexLayout::HexColumn(i), 2));
            const int charX = left + (CharStart() + static_cast<int>(i)) * charWidth;
            painter.drawText(charX, y + ascent, QString(QChar(chars[i])));
        }
    }
}

bool CHexView::ByteAt(const QPoint& point, std::size_t& offset) const
{
    const int charWidth = CharWidth();
    const int x = point.x() + horizontalScrollBar()->value() - charWidth / 2;
    const int column = x / charWidth;
    int index = -1;
    if (column >= HexStart() && column < HexStart() + static_cast<int>(CHexLayout::kHexWidth) + 1)
        index = (column - HexStart()) / 3;
    else if (column >= CharStart() && column < CharStart() + static_cast<int>(CHexLayout::kBytesPerRow))
        index = column - CharStart();
    if (index < 0 || point.y() < 0)
        return false;
    const auto row = static_cast<std::size_t>(verticalScrollBar()->value() + point.y() / RowHeight());
    offset = CHexLayout::RowOffset(row) + static_cast<std::size_t>(index);
    return offset < m_bytes.size();
}

void CHexView::mousePressEvent(QMouseEvent* event)
{
    std::size_t offset = 0;
    if (event->button() != Qt::LeftButton || !ByteAt(event->position().toPoint(), offset))
        return;
    m_selection.MoveTo(offset, (event->modifiers() & Qt::ShiftModifier) != 0);
    SelectionChanged();
}

void CHexView::mouseMoveEvent(QMouseEvent* event)
{
    std::size_t offset = 0;
    if (!(event->buttons() & Qt::LeftButton) || !ByteAt(event->position().toPoint(), offset))
        return;
    if (offset == m_selection.Cursor() && m_selection.Length() != 0)
        return;
    m_selection.MoveTo(offset, true);
    SelectionChanged();
}

void CHexView::keyPressEvent(QKeyEvent* event)
{
    const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
    const bool control = (event->modifiers() & Qt::ControlModifier) != 0;
    const auto perRow = static_cast<std::int64_t>(CHexLayout::kBytesPerRow);
    const std::int64_t perPage = perRow * VisibleRows();
    switch (event->key()) {
    case Qt::Key_Left: m_selection.MoveBy(-1, extend); break;
    case Qt::Key_Right: m_selection.MoveBy(1, extend); break;
    case Qt::Key_Up: m_selection.MoveBy(-perRow, extend); break;
    case Qt::Key_Down: m_selection.MoveBy(perRow, extend); break;
    case Qt::Key_PageUp: m_selection.MoveBy(-perPage, extend); break;
    case Qt::Key_PageDown: m_selection.MoveBy(perPage, extend); break;
    case Qt::Key_Home:
        if (control)
            m_selection.MoveTo(0, extend);
        else
            m_selection.MoveToRowStart(CHexLayout::kBytesPerRow, extend);
        break;
    case Qt::Key_End:
        if (control)
            m_selection.MoveTo(m_bytes.size(), extend);
        else
            m_selection.MoveToRowEnd(CHexLayout::kBytesPerRow, extend);
        break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    SelectionChanged();
}

void CHexView::MoveCursor(std::size_t offset, bool extend)
{
    m_selection.MoveTo(offset, extend);
    SelectionChanged();
}

void CHexView::SelectionChanged()
{
    EnsureCursorVisible();
    viewport()->update();
    emit CursorMoved();
}

void CHexView::EnsureCursorVisible()
{
    const auto row = static_cast<int>(CHexLayout::RowOf(m_selection.Cursor()));
    QScrollBar* bar = verticalScrollBar();
    if (row < bar->value())
        bar->setValue(row);
    else if (row >= bar->value() + VisibleRows())
        bar->setValue(row - VisibleRows() + 1);
}

} // namespace qm
