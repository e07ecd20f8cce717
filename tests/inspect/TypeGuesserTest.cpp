// Type guesses over small documents whose every id's fate is known.

#include "codec/CryptScriptData.h"
#include "desc/DataType.h"
#include "inspect/CTypeGuesser.h"
#include "platform/LittleEndian.h"
#include "support/DocFixture.h"
#include "tools/ChunkBuilder.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using tools::ChunkBuilder;
using tools::F32Bytes;
using tools::U32Bytes;

std::vector<std::uint8_t> Enciphered(std::uint32_t key, std::string_view script)
{
    std::vector<std::uint8_t> payload = U32Bytes({key});
    payload.insert(payload.end(), script.begin(), script.end());
    CryptScriptData(key, payload.data() + 4, static_cast<std::uint32_t>(script.size()));
    return payload;
}

std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts)
{
    std::vector<std::uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class TypeGuesserTest : public test::DocFixture {
protected:
    const TypeGuess& Guess(std::uint32_t id)
    {
        if (guesses.empty())
            guesses = CTypeGuesser::GuessAll(doc);
        const TypeGuess* guess = CTypeGuesser::Find(guesses, id);
        static const TypeGuess kNone{};
        EXPECT_NE(guess, nullptr) << std::hex << id;
        return guess ? *guess : kNone;
    }

    std::vector<TypeGuess> guesses;
};

TEST_F(TypeGuesserTest, EachShapeGivesItsType)
{
    struct Case {
        std::uint32_t id;
        std::vector<std::vector<std::uint8_t>> payloads;
        std::int32_t type;
    };
    const std::string script = "if (gold > 100) {\n  give(player, 5)\n}\n";
    const std::vector<Case> cases = {
        {0xA001, {{'I', 'r', 'o', 'n', ' ', 'g', 'a', 't', 'e', 0}, {'B', 'e', 'l', 'f', 'e', 'n'}}, DT_STRING},
        {0xA002, {std::vector<std::uint8_t>(script.begin(), script.end()), {'e', 'n', 'd', '\n'}}, DT_SCRIPT},
        {0xA003, {Enciphered(0x5EED, script), Enciphered(0x1234567, script + "end\n")}, DT_SCRIPT_ENC},
        {0xA004, {std::vector<std::uint8_t>(4096, 1)}, DT_DIPLOMACY},
        {0xA005, {Cat({U32Bytes({2, 0xA005, 11}), {'a', 'b', 'c'}, U32Bytes({0xA005, 9}), {'d'}})}, DT_STR_SAR},
        {0xA006, {Cat({U32Bytes({2}), F32Bytes({1.5f, 2, 3, 4, 5, 6})}), Cat({U32Bytes({1}), F32Bytes({7, 8, 9})})},
         DT_STR_S01},
        {0xA007, {Cat({U32Bytes({3}), F32Bytes({1.5f, 2, 3, 4, 5, 6})})}, DT_STR_S02},
        {0xA008, {{1}, {0}}, DT_BYTE},
        {0xA009, {{0x10, 0x27}}, DT_WORD},
        {0xA00A, {U32Bytes({1000}), U32Bytes({0xFFFFFFFF})}, DT_DWORD},
        {0xA00B, {F32Bytes({0.5f}), F32Bytes({12.25f})}, DT_FLOAT},
        {0xA00C, {U32Bytes({12, 5000})}, DT_STR_S08},
        {0xA00D, {F32Bytes({1.5f, 0, -200})}, DT_PLOT},
        {0xA00E, {U32Bytes({3, 40, 500})}, DT_BINARY},
        {0xA00F, {F32Bytes({0, 0.707f, 0, 0.707f})}, DT_QUATERNION},
        {0xA010, {U32Bytes({0, 0, 640, 480})}, DT_RECT},
        {0xA011, {{0x01, 0xC7, 0x05}, {0x91, 0x00, 0xFF, 0x02, 0x33}}, DT_NULL},
    };
    ChunkBuilder b;
    for (const Case& c : cases) {
        for (const auto& payload : c.payloads)
            b.Chunk(c.id, payload);
    }
    Load(b.Bytes());
    for (const Case& c : cases) {
        const TypeGuess& guess = Guess(c.id);
        EXPECT_EQ(guess.dataType, c.type) << std::hex << c.id << " " << guess.reason;
        EXPECT_EQ(guess.chunks, c.payloads.size());
        EXPECT_EQ(guess.reason.find('\t'), std::string::npos);
        if (c.type == DT_NULL)
            EXPECT_EQ(guess.confidence, 0);
        else
            EXPECT_GT(guess.confidence, 50) << std::hex << c.id << " " << guess.reason;
    }
}

TEST_F(TypeGuesserTest, IdsInsideGuessedContainersCountAndDescribedOnesAreLeftOut)
{
    // 0xC000 is undescribed and holds chunks, some described (a Group
    // container holding an undescribed id), so walking it finds 0xC001
    // twice and 0xC002 once.
    ChunkBuilder b;
    b.Begin(0xC000).Chunk(0xC001, "Belfen").Chunk(test::kIdByte, {1}).End();
    b.Begin(0xC000)
        .Chunk(0xC001, "Kasmor")
        .Begin(test::kIdRec)
        .Chunk(0xC002, U32Bytes({7}))
        .End()
        .End();
    b.Chunk(0xC001, "Irongate");
    Load(b.Bytes());

    const auto all = CTypeGuesser::GuessAll(doc);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(Guess(0xC000).dataType, DT_REC);
    EXPECT_EQ(Guess(0xC001).dataType, DT_STRING);
    EXPECT_EQ(Guess(0xC001).chunks, 3u);
    EXPECT_EQ(Guess(0xC002).chunks, 1u);
}

TEST_F(TypeGuesserTest, AnIdThatOnlyLookedLikeAContainerAddsNothingFoundInside)
{
    // The first chunk of 0xD000 is a chunk list; the second is not, so
    // 0xD000 is no container and 0xD001 was never there. The one chunk of
    // 0xD100 is a list, but the 0xD100 inside it is not.
    ChunkBuilder b;
    b.Begin(0xD000).Chunk(0xD001, "abc").Chunk(0xD001, "def").End();
    b.Chunk(0xD000, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    b.Begin(0xD100).Chunk(0xD100, {1, 2, 3}).End();
    Load(b.Bytes());
    const auto all = CTypeGuesser::GuessAll(doc);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].id, 0xD000u);
    EXPECT_NE(all[0].dataType, DT_REC);
    EXPECT_EQ(all[1].id, 0xD100u);
    EXPECT_NE(all[1].dataType, DT_REC);
    EXPECT_EQ(all[1].chunks, 1u);
}

TEST_F(TypeGuesserTest, GuessingLeavesTheCipherTraceAlone)
{
    struct CountingSink : ICipherTraceSink {
        void TraceLine(std::string_view) override { ++lines; }
        int lines = 0;
    } sink;
    ChunkBuilder b;
    b.Chunk(0xE000, Enciphered(7, "say(\"hello\")\nend\n"));
    Load(b.Bytes());
    SetCipherTraceSink(&sink);
    EXPECT_EQ(Guess(0xE000).dataType, DT_SCRIPT_ENC);
    EXPECT_EQ(sink.lines, 0);
    EXPECT_EQ(GetCipherTraceSink(), &sink);
    SetCipherTraceSink(nullptr);
}

} // namespace
} // namespace qm
