#include "CodecTestSupport.h"

#include "codec/FormatChunkData.h"
#include "codec/ParseChunkData.h"
#include "desc/DataType.h"

#include <gtest/gtest.h>

#include <random>

namespace qm::test {
namespace {

constexpr std::uint32_t kId = 0xA000;

class RandomPayloads {
public:
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(m_random() % n); }

    std::vector<std::uint8_t> Noise(std::size_t n)
    {
        std::vector<std::uint8_t> bytes(n);
        for (auto& byte : bytes)
            byte = static_cast<std::uint8_t>(m_random());
        return bytes;
    }

    // No zero bytes and no "~"; CR and LF come often, since they are what
    // the text forms change.
    std::string Text()
    {
        std::string text(Below(30), ' ');
        for (char& c : text) {
            do
                c = Below(2) ? "\r\n\r\na ,"[Below(7)] : static_cast<char>(1 + Below(255));
            while (c == '~');
        }
        return text;
    }

    // A payload of an editable type, and whether its text shows every byte.
    std::pair<std::vector<std::uint8_t>, bool> Make(std::int32_t type)
    {
        const std::uint32_t count = Below(6);
        switch (type) {
        case DT_BYTE: return {Noise(1), true};
        case DT_WORD: return {Noise(2), true};
        case DT_DWORD: return {Noise(Below(2) ? 1 : 4), true};
        case DT_RECT: return {Noise(16 + Below(3)), true};
        case DT_BINARY: return {Noise(12), true};
        case DT_STR_S08: return {Noise(8), true};
        case DT_DIPLOMACY: return {Noise(4096), true};
        case DT_STRING:
        case DT_SCRIPT: return {Bytes(Text()), true};
        case DT_SCRIPT_ENC: return {Enciphered(Below(~0u), Text()), true};
        case DT_STR_SAR: {
            std::vector<std::uint8_t> payload = U32Bytes({count});
            for (std::uint32_t i = 0; i < count; ++i)
                payload = Cat({payload, SarRecord(kId, Text())});
            return {payload, true};
        }
        case DT_FLOAT: return {Noise(4), false};
        case DT_PLOT: return {Noise(12), false};
        case DT_QUATERNION: return {Noise(16), false};
        case DT_STR_S06: return {Noise(170 + Below(3)), false};
        case DT_STR_S01: return {Cat({U32Bytes({count + 1}), Noise(12 * count + 12)}), false};
        default: return {Cat({U32Bytes({count + 1}), Noise(8 * count + 8)}), false};
        }
    }

private:
    std::mt19937 m_random{11};
};

// Render, parse and render again gives the same text; where the text shows
// every byte the payload comes back unchanged, and elsewhere a second parse
// changes nothing more.
TEST(CodecRoundTrip, RenderedTextIsAFixedPoint)
{
    RandomPayloads random;
    for (const std::int32_t type : {DT_BYTE, DT_WORD, DT_DWORD, DT_FLOAT, DT_STRING, DT_SCRIPT, DT_SCRIPT_ENC, DT_STR_SAR, DT_RECT, DT_STR_S01,
                                    DT_STR_S02, DT_PLOT, DT_QUATERNION, DT_BINARY, DT_STR_S06, DT_DIPLOMACY, DT_STR_S08}) {
        for (int i = 0; i < 300; ++i) {
            const auto [payload, exact] = random.Make(type);
            CMobChunk rec = Record(type, payload, kId);
            const std::string text = FormatChunkData(type, rec.m_pData.get(), rec.m_nSize);
            ASSERT_TRUE(ParseChunkData(rec, text)) << "type " << type << ": " << text;
            const std::vector<std::uint8_t> once = PayloadOf(rec);
            if (exact) {
                ASSERT_EQ(once, payload) << "type " << type << ": " << text;
            }
            ASSERT_EQ(FormatChunkData(type, rec.m_pData.get(), rec.m_nSize), text) << "type " << type;
            ASSERT_TRUE(ParseChunkData(rec, text));
            ASSERT_EQ(PayloadOf(rec), once) << "type " << type;
        }
    }
}

} // namespace
} // namespace qm::test
