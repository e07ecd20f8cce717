// The data inspector's readings, the list of types a payload fits, and the
// bytes a chunk shows.

#include "desc/DataType.h"
#include "inspect/CDataInspector.h"
#include "inspect/CPayloadBytes.h"
#include "inspect/CTypePreview.h"
#include "platform/LittleEndian.h"
#include "support/DocFixture.h"
#include "tools/ChunkBuilder.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>

namespace qm {
namespace {

using tools::ChunkBuilder;

constexpr std::uint8_t kGuard = 0xAA;
constexpr std::size_t kGuardBytes = 16;

// A payload of size bytes with guard bytes on both sides, which a reading
// past the payload's end would pick up.
struct Guarded {
    explicit Guarded(const std::vector<std::uint8_t>& payload)
        : bytes(payload.size() + 2 * kGuardBytes, kGuard), size(payload.size())
    {
        std::copy(payload.begin(), payload.end(), bytes.begin() + kGuardBytes);
    }
    std::span<const std::uint8_t> Payload() const { return std::span(bytes).subspan(kGuardBytes, size); }

    std::vector<std::uint8_t> bytes;
    std::size_t size;
};

TEST(InspectorTest, EveryReadingNearTheEndIsWholeOrAbsent)
{
    // Bytes 1..11 with no zero: a text reading that ran on would take guard bytes.
    std::vector<std::uint8_t> payload(11);
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<std::uint8_t>(i + 1);
    const Guarded guarded(payload);
    for (std::size_t offset = 0; offset <= payload.size(); ++offset) {
        const std::size_t left = payload.size() - offset;
        const ByteReadings r = CDataInspector::Read(guarded.Payload(), offset);
        SCOPED_TRACE(offset);
        EXPECT_EQ(r.u8.has_value(), left >= 1);
        EXPECT_EQ(r.i8.has_value(), left >= 1);
        EXPECT_EQ(r.u16.has_value(), left >= 2);
        EXPECT_EQ(r.i16.has_value(), left >= 2);
        EXPECT_EQ(r.u32.has_value(), left >= 4);
        EXPECT_EQ(r.i32.has_value(), left >= 4);
        EXPECT_EQ(r.f32.has_value(), left >= 4);
        EXPECT_EQ(r.u64.has_value(), left >= 8);
        EXPECT_EQ(r.i64.has_value(), left >= 8);
        EXPECT_EQ(r.f64.has_value(), left >= 8);
        EXPECT_EQ(r.text.has_value(), left >= 1);
        if (r.text) {
            EXPECT_EQ(*r.text, std::string(payload.begin() + static_cast<std::ptrdiff_t>(offset), payload.end()));
        }
        if (r.u64) {
            EXPECT_EQ(*r.u64 >> 56, offset + 8);
        }
    }
}

TEST(InspectorTest, ReadingsOfASelectionStayInsideIt)
{
    const std::vector<std::uint8_t> payload = {0xFF, 0xFE, 0x00, 0x00, 0xC0, 0x3F, 'h', 'i', 0x00, 'x'};
    const ByteReadings two = CDataInspector::Read(payload, 4, 2);
    EXPECT_EQ(two.u16, 0x3FC0);
    EXPECT_FALSE(two.u32.has_value());

    const ByteReadings r = CDataInspector::Read(payload, 0);
    EXPECT_EQ(r.i8, -1);
    EXPECT_EQ(r.i16, -257);
    EXPECT_EQ(r.u32, 0x0000FEFFu);
    EXPECT_EQ(r.text, "\xFF\xFE");
    const ByteReadings f = CDataInspector::Read(payload, 2);
    EXPECT_EQ(f.f32, 1.5f);
    EXPECT_EQ(CDataInspector::Read(payload, 6).text, "hi");

    const auto lines = CDataInspector::Lines(f);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[8].name, "f32");
    EXPECT_EQ(lines[8].value, "1.5");
    EXPECT_EQ(lines[10].name, "id key");
    EXPECT_EQ(lines[10].value, "3FC00000");
    EXPECT_EQ(CDataInspector::Lines(two)[4].value, "");  // no u32 in two bytes
}

TEST(InspectorTest, LongTextIsCutAndSaysSo)
{
    const std::vector<std::uint8_t> text(CDataInspector::kTextLimit + 1, 'a');
    const ByteReadings r = CDataInspector::Read(text, 0);
    EXPECT_EQ(r.text->size(), CDataInspector::kTextLimit);
    EXPECT_TRUE(r.textCut);
    EXPECT_FALSE(CDataInspector::Read(text, 1).textCut);
}

TEST(InspectorTest, TypesListedAreThoseWhoseLayoutTheSizeAllows)
{
    struct Case {
        std::vector<std::uint8_t> payload;
        std::vector<std::int32_t> types;
    };
    const std::uint32_t key = 0x1234;
    std::vector<std::uint8_t> script = tools::U32Bytes({key});
    const std::vector<std::uint8_t> rec = ChunkBuilder().Chunk(0x2001, {7}).Bytes();
    const std::vector<Case> cases = {
        {{}, {DT_NULL, DT_STRING, DT_REC, DT_SCRIPT, DT_STR_S09, DT_STR_S10, DT_STR_S11}},
        {{5}, {DT_NULL, DT_BYTE, DT_DWORD, DT_STRING, DT_SCRIPT, DT_STR_S09, DT_STR_S10, DT_STR_S11}},
        {tools::U32Bytes({0}),
         {DT_NULL, DT_DWORD, DT_FLOAT, DT_STRING, DT_SCRIPT, DT_SCRIPT_ENC, DT_STR_SAR, DT_STR_S01, DT_STR_S02,
          DT_STR_S09, DT_STR_S10, DT_STR_S11}},
        {tools::U32Bytes({1, 2, 3}),
         {DT_NULL, DT_STRING, DT_SCRIPT, DT_SCRIPT_ENC, DT_STR_S02, DT_PLOT, DT_BINARY, DT_STR_S09, DT_STR_S10,
          DT_STR_S11}},
        {rec, {DT_NULL, DT_STRING, DT_REC, DT_SCRIPT, DT_SCRIPT_ENC, DT_STR_S09, DT_STR_S10, DT_STR_S11}},
        {std::vector<std::uint8_t>(4096), {DT_NULL, DT_STRING, DT_SCRIPT, DT_SCRIPT_ENC, DT_STR_S06, DT_DIPLOMACY,
                                           DT_STR_S09, DT_STR_S10, DT_STR_S11}},
    };
    for (const Case& c : cases) {
        std::vector<std::int32_t> listed;
        for (const TypePreview& preview : CTypePreview::ForPayload(c.payload))
            listed.push_back(preview.dataType);
        EXPECT_EQ(listed, c.types) << ::testing::PrintToString(c.payload);
    }
}

TEST(InspectorTest, PreviewsShowTheFirstLinesAsThePaneWould)
{
    const auto previews = CTypePreview::ForPayload(tools::F32Bytes({1.5f, -2.0f, 0.0f}), 2);
    const auto plot = std::find_if(previews.begin(), previews.end(),
                                   [](const TypePreview& p) { return p.dataType == DT_PLOT; });
    ASSERT_NE(plot, previews.end());
    EXPECT_EQ(plot->text, "1.5,-2,0");
    EXPECT_FALSE(plot->more);

    std::vector<std::uint8_t> list = tools::U32Bytes({3});
    const auto values = tools::F32Bytes({1, 2, 3, 4, 5, 6});
    list.insert(list.end(), values.begin(), values.end());
    for (const TypePreview& preview : CTypePreview::ForPayload(list, 2)) {
        if (preview.dataType == DT_STR_S02) {
            EXPECT_EQ(preview.text, "1,2\r\n3,4");
            EXPECT_TRUE(preview.more);
        }
    }
}

class PayloadBytesTest : public test::DocFixture {};

TEST_F(PayloadBytesTest, AContainerShowsTheBytesItWillBeSavedAs)
{
    ChunkBuilder b;
    // The container's payload ends with 3 bytes that hold no chunk.
    b.Begin(test::kIdRec).Chunk(test::kIdByte, {7}).Chunk(test::kIdString, "ab").Raw({9, 9, 9}).End();
    b.Chunk(test::kIdUnknown, {1, 2});
    Load(b.Bytes());
    const std::vector<std::uint8_t> inner(b.Bytes().begin() + 8, b.Bytes().begin() + 8 + 22);
    const auto bytesOf = [&](NodeId node) {
        const CPayloadBytes payload = CPayloadBytes::Of(doc, node);
        return std::vector<std::uint8_t>(payload.Bytes().begin(), payload.Bytes().end());
    };
    EXPECT_EQ(bytesOf(2), inner);
    EXPECT_EQ(bytesOf(5), (std::vector<std::uint8_t>{1, 2}));
    EXPECT_TRUE(bytesOf(1).empty());   // the file
    EXPECT_TRUE(bytesOf(99).empty());
}

} // namespace
} // namespace qm
