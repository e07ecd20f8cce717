#pragma once

#include "inspect/CHexLayout.h"
#include "ui/CHexSelection.h"

#include <QAbstractScrollArea>

#include <cstdint>
#include <span>

namespace qm {

class CCodePage;

// The read-only hex view of a payload: the offset, 16 bytes in hex and the
// same bytes as characters of the code page, a dot for each byte that does
// not print. Only the rows in sight are formatted when painting, so a
// payload of any size opens and scrolls at once. Bytes are selected with
// the mouse or with Shift and the cursor keys.
class CHexView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CHexView(QWidget* parent = nullptr);

    // The bytes must stay valid until the next call; the cursor goes to 0.
    void SetBytes(std::span<const std::uint8_t> bytes);
    void SetCodePage(const CCodePage& codePage);

    std::span<const std::uint8_t> Bytes() const { return m_bytes; }
    const CHexSelection& Selection() const { return m_selection; }
    // The cursor to offset, brought into sight.
    void MoveCursor(std::size_t offset, bool extend);
    // The character each byte value shows as in the code page; 0 for a
    // byte that does not print.
    static CHexLayout::CharTable CharTable(const CCodePage& codePage);

signals:
    void CursorMoved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    int RowHeight() const;
    int CharWidth() const;
    int VisibleRows() const;
    // The hex and character columns' left edges, in characters.
    static int HexStart() { return 10; }
    static int CharStart() { return 10 + static_cast<int>(CHexLayout::kHexWidth) + 2; }
    // The byte under a point of the viewport, if any.
    bool ByteAt(const QPoint& point, std::size_t& offset) const;
    void UpdateScrollBars();
    void EnsureCursorVisible();
    void SelectionChanged();

    std::span<const std::uint8_t> m_bytes;
    CHexLayout m_layout{{}};
    CHexSelection m_selection;
    CHexLayout::CharTable m_chars{};
};

} // namespace qm
