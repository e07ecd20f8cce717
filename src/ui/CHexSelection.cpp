#include "ui/CHexSelection.h"

#include <algorithm>

namespace qm {

void CHexSelection::Reset(std::size_t size)
{
    *this = CHexSelection();
    m_nSize = size;
}

void CHexSelection::MoveTo(std::size_t offset, bool extend)
{
    m_nCursor = m_nSize == 0 ? 0 : std::min(offset, m_nSize - 1);
    if (!extend)
        m_nAnchor = m_nCursor;
    m_bSelected = extend;
}

void CHexSelection::MoveBy(std::int64_t delta, bool extend)
{
    const auto cursor = static_cast<std::int64_t>(m_nCursor);
    MoveTo(static_cast<std::size_t>(std::max<std::int64_t>(0, cursor + delta)), extend);
}

void CHexSelection::MoveToRowStart(std::size_t bytesPerRow, bool extend)
{
    MoveTo(m_nCursor - m_nCursor % bytesPerRow, extend);
}

void CHexSelection::MoveToRowEnd(std::size_t bytesPerRow, bool extend)
{
    MoveTo(m_nCursor - m_nCursor % bytesPerRow + bytesPerRow - 1, extend);
}

std::size_t CHexSelection::Length() const
{
    if (!m_bSelected || m_nSize == 0)
        return 0;
    return (m_nAnchor < m_nCursor ? m_nCursor - m_nAnchor : m_nAnchor - m_nCursor) + 1;
}

bool CHexSelection::Contains(std::size_t offset) const
{
    const std::size_t length = Length();
    return length != 0 ? offset >= Start() && offset < Start() + length : offset == m_nCursor && m_nSize != 0;
}

} // namespace qm
