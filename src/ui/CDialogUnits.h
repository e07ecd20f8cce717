#pragma once

#include <QRect>

class QFont;

namespace qm {

// Font-relative dialog units: a horizontal unit is a quarter of the font's
// average character width, a vertical unit an eighth of its height. Placing
// controls in these units keeps a window's proportions with any font.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);
    CDialogUnits(int baseX, int baseY);

    int BaseX() const { return m_nBaseX; }
    int BaseY() const { return m_nBaseY; }

    // Edges are mapped, not sizes, so controls that touch in dialog units
    // still touch in pixels.
    QRect MapRect(int x, int y, int width, int height) const;
    int MapX(int x) const;
    int MapY(int y) const;

private:
    int m_nBaseX;
    int m_nBaseY;
};

} // namespace qm
