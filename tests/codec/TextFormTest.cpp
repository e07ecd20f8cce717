#include "CodecTestSupport.h"

#include "codec/FormatChunkData.h"
#include "codec/ParseChunkData.h"
#include "desc/DataType.h"
#include "platform/LittleEndian.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qm::test {
namespace {

constexpr bool kFails = false;

struct TextCase {
    const char* name;
    std::int32_t type;
    std::vector<std::uint8_t> payload;
    std::string text;
};

std::string Render(std::int32_t type, const std::vector<std::uint8_t>& payload)
{
    return FormatChunkData(type, payload.data(), static_cast<std::uint32_t>(payload.size()));
}

// Texts that show every byte: rendering gives the text, and parsing it over
// other bytes (the key aside) gives the payload back.
TEST(CodecTextForm, EveryTypeRendersAndParsesItsTextForm)
{
    const TextCase cases[] = {
        {"byte", DT_BYTE, {0xFF}, "255"},
        {"word", DT_WORD, {0xFF, 0xFF}, "65535"},
        {"dword", DT_DWORD, U32Bytes({0xFFFFFFFF}), "-1"},
        {"dword of one byte", DT_DWORD, {0xC8}, "200"},
        {"float", DT_FLOAT, F32Bytes({0.1f}), "0.1"},
        {"string", DT_STRING, Bytes("a\r\nb"), "a\r\nb"},
        {"script", DT_SCRIPT, Bytes("a\nb\r\nc"), "a\r\nb\r\r\nc"},
        {"script_enc", DT_SCRIPT_ENC, Enciphered(0xCAFEF00D, "a\nb"), "a\r\nb"},
        {"str_sar", DT_STR_SAR, SarPayload(0xA000, {"ab", "c"}), SarText({"ab", "c"})},
        {"str_sar empty records", DT_STR_SAR, SarPayload(0xA000, {"", "a", ""}), SarText({"", "a", ""})},
        {"str_sar line breaks of its own", DT_STR_SAR, SarPayload(0xA000, {"\r\none\r\n", "\r\ntwo\r\n"}),
         SarText({"\r\none\r\n", "\r\ntwo\r\n"})},
        {"rect", DT_RECT, U32Bytes({1, 2, 3, 4}), "1,3,4,2"},
        {"str_s01", DT_STR_S01, Cat({U32Bytes({2}), F32Bytes({1, 2, 3, 4, 5.5f, 6})}), "1,2,3\r\n4,5.5,6\r\n"},
        {"str_s02", DT_STR_S02, Cat({U32Bytes({2}), F32Bytes({1, 2, 3, 4})}), "1,2\r\n3,4\r\n"},
        {"plot", DT_PLOT, F32Bytes({1.5f, -2, 0}), "1.5,-2,0"},
        {"quaternion", DT_QUATERNION, F32Bytes({0, 0.5f, 1, -1}), "0,0.5,1,-1"},
        {"binary", DT_BINARY, U32Bytes({0xFFFFFFFF, 0, 7}), "-1,0,7"},
        {"str_s08", DT_STR_S08, U32Bytes({5, 0xFFFFFFFA}), "5,-6"},
    };
    for (const TextCase& c : cases) {
        EXPECT_EQ(Render(c.type, c.payload), c.text) << c.name;
        EXPECT_EQ(FormatChunkData(c.type, c.payload.data(), 0), "") << c.name;
        EXPECT_EQ(FormatChunkData(c.type, nullptr, 4), "") << c.name;
        std::vector<std::uint8_t> other = c.payload;
        for (std::size_t i = c.type == DT_SCRIPT_ENC ? 4 : 0; i < other.size(); ++i)
            other[i] ^= 0x5A;
        CMobChunk rec = Record(c.type, other);
        EXPECT_TRUE(ParseChunkData(rec, c.text)) << c.name;
        EXPECT_EQ(PayloadOf(rec), c.payload) << c.name;
    }
    const std::vector<std::uint8_t> any(16, 1);
    for (const std::int32_t type : std::initializer_list<std::int32_t>{DT_NULL, DT_REC, DT_STR_S09, DT_STR_S10, DT_STR_S11, 22, -1})
        EXPECT_EQ(Render(type, any), "") << "type " << type;
}

TEST(CodecTextForm, RenderingShowsOnlyWhatLiesInside)
{
    std::vector<std::uint8_t> overcounted = Cat({SarPayload(1, {"ab", "c"}), {1, 0, 0, 0, 99}});
    overcounted[0] = 3;
    const TextCase cases[] = {
        {"string to the zero", DT_STRING, Bytes(std::string_view("ab\0cd", 5)), "ab"},
        {"script_enc to the zero", DT_SCRIPT_ENC, Enciphered(1, std::string_view("a\0b", 3)), "a"},
        {"script_enc key only", DT_SCRIPT_ENC, U32Bytes({77}), ""},
        {"script_enc without a key", DT_SCRIPT_ENC, {1, 2, 3}, ""},
        {"str_sar record to the zero", DT_STR_SAR, SarPayload(1, {std::string_view("c\0d", 3)}), SarText({"c"})},
        {"str_sar count 0", DT_STR_SAR, U32Bytes({0, 1, 9}), ""},
        {"str_sar without a count", DT_STR_SAR, {1, 0}, ""},
        {"str_sar count beyond the records", DT_STR_SAR, overcounted, SarText({"ab", "c"})},
        {"str_sar record past the end", DT_STR_SAR, Cat({U32Bytes({2}), SarRecord(0, "ab"), U32Bytes({0, 50})}),
         SarText({"ab"})},
        {"str_sar record below 8 bytes", DT_STR_SAR, U32Bytes({2, 0, 8, 0, 4}), SarText({""})},
        {"str_s01 count -1", DT_STR_S01, Cat({U32Bytes({0xFFFFFFFF}), F32Bytes({1, 2, 3})}), ""},
        {"str_s01 count beyond the triples", DT_STR_S01, Cat({U32Bytes({5}), F32Bytes({1, 2, 3, 4, 5})}), "1,2,3\r\n"},
        {"word", DT_WORD, {0xFF}, ""},
        {"dword", DT_DWORD, {1, 2, 3}, ""},
        {"rect stops before offset 12", DT_RECT, U32Bytes({1, 2, 3}), "1,3"},
        {"plot", DT_PLOT, F32Bytes({1.5f, -2}), "1.5,-2"},
        {"diplomacy two values", DT_DIPLOMACY, Cat({U32Bytes({0, 1}), {7}}), "0,1\r\n"},
    };
    for (const TextCase& c : cases)
        EXPECT_EQ(Render(c.type, c.payload), c.text) << c.name;
}

struct ParseCase {
    const char* name;
    std::int32_t type;
    std::vector<std::uint8_t> before;
    std::string text;
    bool ok = true;
    std::vector<std::uint8_t> after = {};  // on failure the record must stay as it was
};

void CheckParse(const ParseCase& c)
{
    CMobChunk rec = Record(c.type, c.before);
    const std::uint8_t* const oldData = rec.m_pData.get();
    ASSERT_EQ(ParseChunkData(rec, c.text), c.ok) << c.name;
    if (!c.ok) {
        EXPECT_EQ(rec.m_pData.get(), oldData) << c.name;
    }
    const std::vector<std::uint8_t>& expected = c.ok ? c.after : c.before;
    EXPECT_EQ(PayloadOf(rec), expected) << c.name;
    EXPECT_EQ(rec.m_nSize, expected.size()) << c.name;
}

// "1,2,...,count" and its i32 values.
std::string Numbers(std::uint32_t count)
{
    std::string text;
    for (std::uint32_t i = 1; i <= count; ++i)
        text += std::to_string(i) + (i < count ? "," : "");
    return text;
}

std::vector<std::uint8_t> NumberBytes(std::uint32_t count)
{
    std::vector<std::uint8_t> bytes(4 * count);
    for (std::uint32_t i = 0; i < count; ++i)
        le::WriteU32(bytes.data() + 4 * i, i + 1);
    return bytes;
}

TEST(CodecTextForm, ParsingAcceptsRefusesOrGrows)
{
    const std::vector<std::uint8_t> zero16(16, 0);
    const std::vector<std::uint8_t> list = Cat({U32Bytes({1}), F32Bytes({9, 9, 9})});
    const std::vector<std::uint8_t> sar = SarPayload(0xA000, {"old"});
    const ParseCase cases[] = {
        {"byte wraps", DT_BYTE, {9}, "300", true, {44}},
        {"byte not a number", DT_BYTE, {9, 8}, "abc", true, {0, 8}},
        {"byte grows", DT_BYTE, {}, "-1", true, {255}},
        {"dword of one byte wraps", DT_DWORD, {0}, "513", true, {1}},
        {"dword grows", DT_DWORD, {9, 9}, "258", true, U32Bytes({258})},
        {"float grows", DT_FLOAT, {}, "2.5e3xyz", true, F32Bytes({2500})},
        {"rect keeps bytes behind", DT_RECT, Cat({zero16, {0x55}}), "1,3,4,2", true, Cat({U32Bytes({1, 2, 3, 4}), {0x55}})},
        {"rect grows", DT_RECT, {}, "1,3,4,2", true, U32Bytes({1, 2, 3, 4})},
        {"rect three values", DT_RECT, zero16, "1,2,3", kFails},
        {"rect space before comma", DT_RECT, zero16, "1 ,2,3,4", kFails},
        {"rect short stays short", DT_RECT, {1, 2}, "1,2", kFails},
        {"plot spaces after commas", DT_PLOT, {}, "1, 2, 3", true, F32Bytes({1, 2, 3})},
        {"quaternion three values", DT_QUATERNION, zero16, "1,2,3", kFails},
        {"binary two values", DT_BINARY, zero16, "1,2,,3", kFails},
        {"binary text behind", DT_BINARY, {}, "-1,+2,\n3 and more", true, U32Bytes({0xFFFFFFFF, 2, 3})},
        {"str_s08 one value", DT_STR_S08, zero16, "5", kFails},
        {"diplomacy blank lines", DT_DIPLOMACY, std::vector<std::uint8_t>(4097, 3),
         "\r\n" + Numbers(512) + "\r\n\r\n," + Numbers(512) + "\r\n\r\n", true,
         Cat({NumberBytes(512), NumberBytes(512), {3}})},
        {"diplomacy grows, words count as 0", DT_DIPLOMACY, {}, "x\r\n " + Numbers(1023), true,
         Cat({U32Bytes({0}), NumberBytes(1023)})},
        {"diplomacy 1023", DT_DIPLOMACY, std::vector<std::uint8_t>(4096, 3), Numbers(1023), kFails},
        // More values than the layout holds: nothing is cut off or shifted.
        {"byte two values", DT_BYTE, {9}, "12 34", kFails},
        {"byte a value behind a word", DT_BYTE, {9}, "abc 5", kFails},
        {"dword of one byte, two values", DT_DWORD, {9}, "1,2", kFails},
        {"float two values", DT_FLOAT, {}, "1.5\r\n2.5", kFails},
        {"rect six values", DT_RECT, zero16, "1,2,3,4,5,6", kFails},
        {"rect a fifth value behind a space", DT_RECT, zero16, "1,3,4,2 5", kFails},
        {"rect a comma and a line break behind", DT_RECT, {}, "1,3,4,2,\r\n", true, U32Bytes({1, 2, 3, 4})},
        {"plot four values", DT_PLOT, zero16, "1,2,3,4", kFails},
        {"diplomacy 1025", DT_DIPLOMACY, std::vector<std::uint8_t>(4096, 3), Numbers(1025), kFails},
        {"diplomacy two values in one token", DT_DIPLOMACY, std::vector<std::uint8_t>(4096, 3),
         Numbers(1023) + ",7\t8", kFails},
        {"str_s01 four values", DT_STR_S01, list, "1,2,3\r\n4,5,6,7", kFails},
        {"null empty text", DT_NULL, {1}, "", true, {1}},
        {"null text", DT_NULL, {1}, "1", kFails},
        {"rec text", DT_REC, {}, " ", kFails},
        {"code 22 text", 22, {2}, "2", kFails},
        {"string empty", DT_STRING, Bytes("abc"), "", true, {}},
        {"script_enc empty text", DT_SCRIPT_ENC, Enciphered(7, "xyz"), "", true, U32Bytes({7})},
        {"script_enc without a key", DT_SCRIPT_ENC, {1, 2}, "ab", true, Enciphered(0, "ab")},
        {"str_s01 blank lines", DT_STR_S01, list, "1,2,3\r\n\r\n4,5,6", true, Cat({U32Bytes({2}), F32Bytes({1, 2, 3, 4, 5, 6})})},
        {"str_s01 only line breaks", DT_STR_S01, list, "\r\n\r\n", kFails},
        {"str_s02 one bad line", DT_STR_S02, list, "1,2\r\n4\r\n7,8", kFails},
        {"str_sar empty text", DT_STR_SAR, sar, "", true, U32Bytes({0})},
        {"str_sar separators one line apart", DT_STR_SAR, sar, "a\r\n~~\r\n~~\r\nb", true,
         SarPayload(0xA000, {"a", "", "b"})},
        {"str_sar leading separator", DT_STR_SAR, sar, "~~\r\na\r\n~~\r\n", true, SarPayload(0xA000, {"a"})},
        {"str_sar tilde inside", DT_STR_SAR, sar, "a~b", kFails},
        {"str_sar tilde ending a record", DT_STR_SAR, sar, SarText({"a~"}), kFails},
        {"str_sar tilde starting a record", DT_STR_SAR, sar, SarText({"a", "~b"}), kFails},
    };
    for (const ParseCase& c : cases)
        CheckParse(c);
}

TEST(CodecTextForm, DiplomacyIs32LinesOf32)
{
    std::vector<std::uint8_t> payload(4096);
    std::string line;
    for (std::uint32_t i = 0; i < 32; ++i)
        line += std::to_string(i) + (i < 31 ? "," : "\r\n");
    for (std::uint32_t i = 0; i < 32 * 32; ++i)
        le::WriteU32(payload.data() + 4 * i, i % 32);
    std::string expected;
    for (int i = 0; i < 32; ++i)
        expected += line;
    EXPECT_EQ(Render(DT_DIPLOMACY, payload), expected);
    EXPECT_EQ(FormatChunkData(DT_DIPLOMACY, payload.data(), 130), line);
}

TEST(CodecTextForm, StrS06ShowsAndReadsItsFieldsOnePerLine)
{
    const std::vector<std::uint8_t> skipped = {0xEE, 0xEE, 0xEE};
    const std::vector<std::uint8_t> payload =
        Cat({U32Bytes({0xFFFFFFFF, 0, 1, 2}), F32Bytes({0.5f, 1.5f, 2.5f, 3.5f, 4.5f, 5.5f, 6.5f, 7.5f, 8.5f, 9.5f}),
             {200, 201, 0xEE, 0xEE}, F32Bytes({1e6f, 2e6f, 3e6f, 4e6f, 5e6f, 6e6f, 7e6f, 8e6f, 9e6f, 1e7f, 11e6f, 12e6f, 13e6f}),
             {7}, skipped, F32Bytes({0, -1, -2, -3, -4, -5, -6, -7, -8, -9, -10, -11}), {250, 251, 252, 253, 254, 255},
             skipped});
    const std::string first16 = "-1\r\n0\r\n1\r\n2\r\n0.5\r\n1.5\r\n2.5\r\n3.5\r\n4.5\r\n5.5\r\n6.5\r\n7.5\r\n8.5\r\n9.5\r\n"
                                "200\r\n201";
    const std::string text = first16 + "\r\n1e+06\r\n2e+06\r\n3e+06\r\n4e+06\r\n5e+06\r\n6e+06\r\n7e+06\r\n8e+06\r\n9e+06"
                                       "\r\n1e+07\r\n1.1e+07\r\n1.2e+07\r\n1.3e+07\r\n7\r\n0\r\n-1\r\n-2\r\n-3\r\n-4\r\n-5"
                                       "\r\n-6\r\n-7\r\n-8\r\n-9\r\n-10\r\n-11\r\n250\r\n251\r\n252\r\n253\r\n254\r\n255";
    ASSERT_EQ(payload.size(), 173u);
    EXPECT_EQ(Render(DT_STR_S06, payload), text);
    EXPECT_EQ(FormatChunkData(DT_STR_S06, payload.data(), 60), first16);
    EXPECT_EQ(FormatChunkData(DT_STR_S06, payload.data(), 3), "");

    // Read back over other bytes, the unshown ones stay; u8 fields keep the
    // low 8 bits and integer fields stop at a point.
    std::vector<std::uint8_t> other(173, 0xEE);
    std::fill_n(other.begin(), 56, std::uint8_t{0});
    CheckParse({"str_s06", DT_STR_S06, other, text, true, payload});
    std::string edited = text;
    edited.replace(edited.find("200"), 3, "456").replace(0, 2, "-1.9");
    CheckParse({"str_s06 edited", DT_STR_S06, other, edited, true, payload});
    std::vector<std::uint8_t> grown(payload.begin(), payload.begin() + 170);
    for (const std::size_t unshown : {58u, 59u, 113u, 114u, 115u})
        grown[unshown] = 0;
    CheckParse({"str_s06 grows", DT_STR_S06, {}, text, true, grown});
    std::string twoOnALine = text;
    twoOnALine.replace(twoOnALine.find("200"), 3, "200 7");
    for (const std::string& wrong : {text.substr(0, text.size() - 5), text + "\r\n49", twoOnALine})
        CheckParse({"str_s06 line count", DT_STR_S06, other, wrong, kFails});
}

} // namespace
} // namespace qm::test
