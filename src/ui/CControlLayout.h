#pragma once

#include <QPointer>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qm {

// Anchor flags of a registered control; they combine by OR.
inline constexpr std::uint32_t LAYOUT_MOVE_X = 1;  // follows the right edge at constant width
inline constexpr std::uint32_t LAYOUT_MOVE_Y = 2;  // follows the bottom edge at constant height
inline constexpr std::uint32_t LAYOUT_SIZE_X = 4;  // widens and narrows with the window
inline constexpr std::uint32_t LAYOUT_SIZE_Y = 8;  // grows and shrinks in height with the window

// Keeps chosen child controls attached to their parent's right and bottom
// edges. Sizes below the parent's size at Attach count as that size, so
// shrinking further moves nothing and growing back restores every control.
class CControlLayout {
public:
    CControlLayout() = default;
    virtual ~CControlLayout() = default;
    CControlLayout(const CControlLayout&) = delete;
    CControlLayout& operator=(const CControlLayout&) = delete;

    // The parent's current size becomes the minimum and the reference.
    void Attach(QWidget* parent);
    // Registers the parent's direct child with this control id; an id with
    // no control behind it is skipped without a word.
    void AddControl(int controlId, std::uint32_t flags);

    // Moves and sizes every registered control by the parent's size change
    // since the last call, then remembers the size.
    virtual void Reposition();
    virtual void RememberSize();

    std::size_t GetCount() const { return m_entries.size(); }

private:
    struct LayoutEntry {
        QPointer<QWidget> control;
        std::uint32_t flags = 0;
    };

    QPointer<QWidget> m_pParent;
    int m_nRefWidth = 0;
    int m_nRefHeight = 0;
    int m_nMinWidth = 0;
    int m_nMinHeight = 0;
    std::vector<LayoutEntry> m_entries;
};

} // namespace qm
