#include "ui/CDialogUnits.h"

#include <QFont>
#include <QFontMetrics>

#include <algorithm>

namespace qm {

namespace {

// a * b / c rounded half away from zero, as the platform's MulDiv does.
int MulDiv(int a, int b, int c)
{
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    const long long result = product >= 0 ? (product + half) / c : (product - half) / c;
    return static_cast<int>(result);
}

int AverageCharWidth(const QFontMetrics& metrics)
{
    // The mean over the 52 Latin letters, rounded, is what "average
    // character width" means for dialog units.
    const int extent =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return std::max(1, (extent / 26 + 1) / 2);
}

} // namespace

CDialogUnits::CDialogUnits(const QFont& font)
    : CDialogUnits(AverageCharWidth(QFontMetrics(font)), std::max(1, QFontMetrics(font).height()))
{
}

CDialogUnits::CDialogUnits(int baseX, int baseY)
    : m_nBaseX(baseX), m_nBaseY(baseY)
{
}

int CDialogUnits::MapX(int x) const
{
    return MulDiv(x, m_nBaseX, 4);
}

int CDialogUnits::MapY(int y) const
{
    return MulDiv(y, m_nBaseY, 8);
}

QRect CDialogUnits::MapRect(int x, int y, int width, int height) const
{
    const int left = MapX(x);
    const int top = MapY(y);
    return {left, top, MapX(x + width) - left, MapY(y + height) - top};
}

} // namespace qm
