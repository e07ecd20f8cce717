#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace qm {

// The rows of a hex view over a payload: the offset, 16 bytes in hex and
// the same bytes as characters. A row is formatted only when asked for, so
// a view costs what it shows, whatever the payload's size.
class CHexLayout {
public:
    static constexpr std::uint32_t kBytesPerRow = 16;
    // The hex column of a full row: 16 pairs with a space between each two.
    static constexpr std::size_t kHexWidth = kBytesPerRow * 3 - 1;

    // The character shown for each byte value; 0 marks a byte that does not
    // print, shown as a dot.
    using CharTable = std::array<char16_t, 256>;
    // 0x20 to 0x7E as themselves, every other byte as a dot.
    static const CharTable& AsciiTable();

    explicit CHexLayout(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t RowCount() const { return (m_bytes.size() + kBytesPerRow - 1) / kBytesPerRow; }
    static std::size_t RowOf(std::size_t offset) { return offset / kBytesPerRow; }
    static std::size_t RowOffset(std::size_t row) { return row * kBytesPerRow; }
    // The bytes of a row: 16, fewer in the last row, none past the end.
    std::span<const std::uint8_t> RowBytes(std::size_t row) const;
    // Where byte i of a row starts in HexText.
    static std::size_t HexColumn(std::size_t indexInRow) { return indexInRow * 3; }

    // "%08X" of the row's offset.
    static std::string OffsetText(std::size_t row);
    // Lowercase pairs separated by single spaces, padded with spaces to kHexWidth.
    std::string HexText(std::size_t row) const;
    // One character a byte, through table.
    std::u16string CharText(std::size_t row, const CharTable& table) const;
    // The offset, two spaces, the hex, two spaces and the ASCII characters:
    // one line of `mobtool hexdump`, without its line end.
    std::string Line(std::size_t row) const;

private:
    std::span<const std::uint8_t> m_bytes;
};

} // namespace qm
