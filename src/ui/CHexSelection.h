#pragma once

#include <cstddef>
#include <cstdint>

namespace qm {

// The cursor and the selected bytes of a hex view over a payload of a
// given size, without the widget: where a key or a click leaves them, and
// what the inspector and the status bar are to read. The cursor always
// stands on a byte of the payload, or at 0 when the payload is empty.
class CHexSelection {
public:
    void Reset(std::size_t size);

    // The cursor to offset (clamped to the last byte). With extend, the
    // bytes from the anchor to the cursor are selected; without, the
    // anchor follows the cursor and nothing is selected.
    void MoveTo(std::size_t offset, bool extend);
    // The cursor moved by delta bytes, stopping at either end.
    void MoveBy(std::int64_t delta, bool extend);
    // The cursor to the first or last byte of its row of bytesPerRow.
    void MoveToRowStart(std::size_t bytesPerRow, bool extend);
    void MoveToRowEnd(std::size_t bytesPerRow, bool extend);

    std::size_t Size() const { return m_nSize; }
    std::size_t Cursor() const { return m_nCursor; }
    // The first selected byte, or the cursor when nothing is selected.
    std::size_t Start() const { return m_bSelected && m_nAnchor < m_nCursor ? m_nAnchor : m_nCursor; }
    // The bytes selected, the anchor's and the cursor's included; 0 when
    // only the cursor stands.
    std::size_t Length() const;
    bool Contains(std::size_t offset) const;

private:
    std::size_t m_nSize = 0;
    std::size_t m_nCursor = 0;
    std::size_t m_nAnchor = 0;
    bool m_bSelected = false;
};

} // namespace qm
