#include "CodecTestSupport.h"

#include "codec/CryptScriptData.h"

#include <gtest/gtest.h>

namespace qm::test {
namespace {

class TraceCapture : public ICipherTraceSink {
public:
    TraceCapture() { SetCipherTraceSink(this); }
    ~TraceCapture() override { SetCipherTraceSink(nullptr); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;
    void TraceLine(std::string_view line) override { m_lines.emplace_back(line); }

    std::vector<std::string> m_lines;
};

// The generator stepped one byte at a time, exactly as the stream is defined.
std::vector<std::uint8_t> ReferenceStream(std::uint32_t key, std::size_t n)
{
    std::vector<std::uint8_t> stream;
    for (std::uint32_t state = key; stream.size() < n;) {
        state = state * 214013u + 2531011u;
        stream.push_back(static_cast<std::uint8_t>(state >> 16));
    }
    return stream;
}

TEST(CodecCipher, StreamMatchesTheGeneratorForEveryLengthAndKey)
{
    for (const std::uint32_t key : {0u, 1u, 0x80000000u, 0xDEADBEEFu, 0xFFFFFFFFu}) {
        for (std::size_t n = 0; n <= 40; ++n) {
            std::vector<std::uint8_t> data(n, 0);
            EXPECT_EQ(CryptScriptData(key, data.data(), static_cast<std::uint32_t>(n)), data.data());
            EXPECT_EQ(data, ReferenceStream(key, n)) << "key " << key << " length " << n;
        }
    }
}

TEST(CodecCipher, TraceLinesInOrderWithUnsignedValues)
{
    std::vector<std::uint8_t> untraced = Bytes(std::string_view("\0script", 7));
    std::vector<std::uint8_t> traced = untraced;
    CryptScriptData(0x80000000u, untraced.data(), 7);
    TraceCapture trace;
    CryptScriptData(0x80000000u, traced.data(), 7);
    EXPECT_EQ(traced, untraced);
    ASSERT_EQ(trace.m_lines.size(), 2u * 7u + 1u);
    // 0x80000000 * 214013 + 2531011 = 0x80269EC3 = 2150014659 (mod 2^32).
    const std::vector<std::string> first = {
        "Key: 2147483648 Size: 7\n",
        "Before: Key: 2147483648 Byte: 0\n",
        "After : Key: 2150014659 Byte: 38 Xor:38 \n",
    };
    EXPECT_EQ(std::vector<std::string>(trace.m_lines.begin(), trace.m_lines.begin() + 3), first);

    trace.m_lines.clear();
    CryptScriptData(5, nullptr, 0);
    EXPECT_EQ(trace.m_lines, std::vector<std::string>{"Key: 5 Size: 0\n"});
}

} // namespace
} // namespace qm::test
