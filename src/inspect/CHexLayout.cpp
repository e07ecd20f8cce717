#include "inspect/CHexLayout.h"

#include <algorithm>
#include <cstdio>

namespace qm {

namespace {

constexpr char kDigits[] = "0123456789abcdef";
constexpr char16_t kDot = u'.';

CHexLayout::CharTable BuildAscii()
{
    CHexLayout::CharTable table{};
    for (int b = 0x20; b <= 0x7E; ++b)
        table[static_cast<std::size_t>(b)] = static_cast<char16_t>(b);
    return table;
}

} // namespace

const CHexLayout::CharTable& CHexLayout::AsciiTable()
{
    static const CharTable table = BuildAscii();
    return table;
}

std::span<const std::uint8_t> CHexLayout::RowBytes(std::size_t row) const
{
    if (row >= RowCount())
        return {};
    const std::size_t start = RowOffset(row);
    return m_bytes.subspan(start, std::min<std::size_t>(kBytesPerRow, m_bytes.size() - start));
}

std::string CHexLayout::OffsetText(std::size_t row)
{
    char text[24];
    std::snprintf(text, sizeof text, "%08zX", RowOffset(row));
    return text;
}

std::string CHexLayout::HexText(std::size_t row) const
{
    std::string text(kHexWidth, ' ');
    const auto bytes = RowBytes(row);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[HexColumn(i)] = kDigits[bytes[i] >> 4];
        text[HexColumn(i) + 1] = kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::u16string CHexLayout::CharText(std::size_t row, const CharTable& table) const
{
    const auto bytes = RowBytes(row);
    std::u16string text(bytes.size(), kDot);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (const char16_t ch = table[bytes[i]]; ch != 0)
            text[i] = ch;
    }
    return text;
}

std::string CHexLayout::Line(std::size_t row) const
{
    std::string line = OffsetText(row);
    line += "  ";
    line += HexText(row);
    line += "  ";
    for (const char16_t ch : CharText(row, AsciiTable()))
        line += static_cast<char>(ch);
    return line;
}

} // namespace qm
