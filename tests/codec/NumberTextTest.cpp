#include "CodecTestSupport.h"

#include "codec/CNumberText.h"
#include "codec/FormatChunkData.h"
#include "codec/ParseChunkData.h"
#include "desc/DataType.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <locale>
#include <random>

namespace qm::test {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

std::string Float(float value)
{
    std::string text;
    CNumberText::AppendFloat(text, value);
    return text;
}

TEST(CodecNumberText, FloatTextIsPrintfGeneral)
{
    // Random bit patterns reach every exponent; short decimals are what game
    // data holds; the halves lie exactly between two six-digit texts, where
    // printf rounds to even.
    std::vector<float> values = {kInf, -kInf, -0.0f, 999999.5f, 0.000099999995f, 1e-17f, 5e-17f, 1e26f};
    std::mt19937 random(1);
    for (int i = 0; i < 50000; ++i)
        values.push_back(std::bit_cast<float>(static_cast<std::uint32_t>(random())));
    for (int i = -200000; i <= 200000; i += 7)
        values.push_back(static_cast<float>(i) / 1000.0f);
    for (int i = 100000; i < 100200; ++i)
        values.push_back(static_cast<float>(i) + 0.5f);
    for (int i = 1234500; i < 1234600; ++i)
        values.push_back(static_cast<float>(i));
    for (const float value : values) {
        if (std::isnan(value))
            continue;
        char expected[64];
        std::snprintf(expected, sizeof expected, "%g", static_cast<double>(value));
        ASSERT_EQ(Float(value), expected) << std::hexfloat << value;
    }
}

TEST(CodecNumberText, IntegerReadingWrapsModulo2To32)
{
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"-1", 0xFFFFFFFF},     {"4294967295", 0xFFFFFFFF}, {"4294967296", 0}, {"99999999999", 1215752191},
        {"-2147483648", 0x80000000}, {" \t\n\v\f\r+42x", 42}, {"abc", 0},        {"- 5", 0}, {"+-3", 0},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(CNumberText::ReadInt(text), value) << '"' << text << '"';
}

TEST(CodecNumberText, FloatReadingFollowsStrtod)
{
    const std::pair<const char*, float> cases[] = {
        {"2.5e3xyz", 2500.0f}, {" \n-.5", -0.5f}, {"+5.", 5.0f},     {"1e+", 1.0f},     {"1,5", 1.0f},
        {"+-1", 0.0f},         {".", 0.0f},       {"0x1.8p1", 3.0f}, {"0xg", 0.0f},     {"-0x.8", -0.5f},
        {"-Infinity", -kInf},  {"1e39", kInf},    {"1e999999999999", kInf}, {"1e-50", 0.0f},
        {"16777217", 16777216.0f}, {"1e-45", std::numeric_limits<float>::denorm_min()},
        // Just above the midpoint of 1 and the next f32. Through double it
        // lands on the midpoint and rounds down to 1.
        {"1.0000000596046447753906250001", std::nextafter(1.0f, 2.0f)},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(CNumberText::ReadFloat(text), value) << '"' << text << '"';
    EXPECT_TRUE(std::signbit(CNumberText::ReadFloat("-1e-50")));
    EXPECT_TRUE(std::isnan(CNumberText::ReadFloat("nan(123)")));

    // Short decimals take a quicker road than from_chars; it must end at the
    // same f32.
    std::mt19937 random(3);
    for (int i = 0; i < 200000; ++i) {
        std::string text = std::to_string(random() % (1u << (1 + random() % 25)));
        text.insert(text.begin() + static_cast<std::ptrdiff_t>(random() % (text.size() + 1)), '.');
        if (random() % 4 == 0)
            text.append(1, 'e').append(std::to_string(static_cast<int>(random() % 25) - 12));
        float expected = 0.0f;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        ASSERT_EQ(CNumberText::ReadFloat(text), expected) << text;
    }
}

TEST(CodecNumberText, TextIsTheSameUnderACommaLocale)
{
    const std::string oldC = std::setlocale(LC_ALL, nullptr);
    const std::locale oldCpp;
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed";
    std::locale::global(std::locale("de_DE.UTF-8"));
    char printed[16];
    std::snprintf(printed, sizeof printed, "%g", 1.5);

    const std::vector<std::uint8_t> plot = F32Bytes({1.5f, -2.0f, 0.25f});
    const std::string text = FormatChunkData(DT_PLOT, plot.data(), 12);
    CMobChunk rec = Record(DT_PLOT, std::vector<std::uint8_t>(12));
    const bool parsed = ParseChunkData(rec, "1.5,-2,0.25");
    const float commaRead = CNumberText::ReadFloat("1,5");

    std::locale::global(oldCpp);
    std::setlocale(LC_ALL, oldC.c_str());
    EXPECT_STREQ(printed, "1,5") << "the locale should write a decimal comma";
    EXPECT_EQ(text, "1.5,-2,0.25");
    EXPECT_TRUE(parsed);
    EXPECT_EQ(PayloadOf(rec), plot);
    EXPECT_EQ(commaRead, 1.0f);
}

} // namespace
} // namespace qm::test
