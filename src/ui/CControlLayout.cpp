#include "ui/CControlLayout.h"

#include "ui/ControlId.h"

#include <algorithm>

namespace qm {

void CControlLayout::Attach(QWidget* parent)
{
    m_pParent = parent;
    if (!parent)
        return;
    m_nMinWidth = parent->width();
    m_nMinHeight = parent->height();
    RememberSize();
}

void CControlLayout::AddControl(int controlId, std::uint32_t flags)
{
    QWidget* control = FindControl(m_pParent, controlId);
    if (!control)
        return;
    m_entries.push_back({control, flags});
}

void CControlLayout::Reposition()
{
    if (!m_pParent)
        return;
    const int dW = std::max(m_pParent->width(), m_nMinWidth) - std::max(m_nRefWidth, m_nMinWidth);
    const int dH = std::max(m_pParent->height(), m_nMinHeight) - std::max(m_nRefHeight, m_nMinHeight);

    for (const LayoutEntry& entry : m_entries) {
        QWidget* control = entry.control;
        if (!control)
            continue;
        QRect rect = control->geometry();
        if (entry.flags & LAYOUT_SIZE_Y)
            rect.setBottom(rect.bottom() + dH);
        if (entry.flags & LAYOUT_SIZE_X)
            rect.setRight(rect.right() + dW);
        if (entry.flags & LAYOUT_MOVE_Y)
            rect.translate(0, dH);
        if (entry.flags & LAYOUT_MOVE_X)
            rect.translate(dW, 0);
        control->setGeometry(rect);
    }
    m_pParent->update();
    RememberSize();
}

void CControlLayout::RememberSize()
{
    if (!m_pParent)
        return;
    m_nRefWidth = m_pParent->width();
    m_nRefHeight = m_pParent->height();
}

} // namespace qm
