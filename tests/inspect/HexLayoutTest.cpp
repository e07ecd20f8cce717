#include "inspect/CHexLayout.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace qm {
namespace {

std::vector<std::uint8_t> Counting(std::size_t size, std::uint8_t first = 0x41)
{
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

std::string Dump(const std::vector<std::uint8_t>& bytes)
{
    const CHexLayout layout(bytes);
    std::string text;
    for (std::size_t row = 0; row < layout.RowCount(); ++row)
        text += layout.Line(row) + "\n";
    return text;
}

// A line whose hex part is short: padded to the width of a full one.
std::string Short(const std::string& hex, const std::string& chars)
{
    return "00000000  " + hex + std::string(CHexLayout::kHexWidth - hex.size(), ' ') + "  " + chars + "\n";
}

TEST(HexLayoutTest, LinesOfFullShortAndEmptyRows)
{
    struct Case {
        std::vector<std::uint8_t> bytes;
        std::string dump;
    };
    const std::vector<Case> cases = {
        {{}, ""},
        {{0x00}, Short("00", ".")},
        {{0x1F, 0x20, 0x7E, 0x7F, 0x80, 0xFF, 'a'}, Short("1f 20 7e 7f 80 ff 61", ". ~...a")},
        {Counting(16), "00000000  41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50  ABCDEFGHIJKLMNOP\n"},
        {Counting(17), "00000000  41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50  ABCDEFGHIJKLMNOP\n"
                       "00000010  51" + std::string(45, ' ') + "  Q\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Dump(c.bytes), c.dump);
}

TEST(HexLayoutTest, RowsAreCountedAndFormattedOnlyFromTheirOwnBytes)
{
    // Each row reads only its own bytes: the last of an odd-length payload
    // is short, and rows past the end hold nothing.
    const std::vector<std::uint8_t> bytes = Counting(33, 0);
    const CHexLayout layout(bytes);
    EXPECT_EQ(layout.RowCount(), 3u);
    EXPECT_EQ(layout.RowBytes(2).size(), 1u);
    EXPECT_TRUE(layout.RowBytes(3).empty());
    EXPECT_EQ(CHexLayout::OffsetText(2), "00000020");
    EXPECT_EQ(layout.HexText(2), "20" + std::string(CHexLayout::kHexWidth - 2, ' '));
    EXPECT_EQ(layout.HexText(3), std::string(CHexLayout::kHexWidth, ' '));
    EXPECT_EQ(CHexLayout::RowOf(31), 1u);
    EXPECT_EQ(CHexLayout::HexColumn(15), 45u);
}

TEST(HexLayoutTest, CharactersComeFromTheCallersTable)
{
    CHexLayout::CharTable table{};
    table[0xE9] = u'\u00E9';
    table['A'] = u'A';
    const std::vector<std::uint8_t> bytes = {'A', 0xE9, 'B', 0x00};
    EXPECT_EQ(CHexLayout(bytes).CharText(0, table), u"A\u00E9..");
}

} // namespace
} // namespace qm
