// How often the guesser is right, measured on files whose true types are
// known, with realistic values of every data type.

#include "desc/DataType.h"
#include "inspect/CTypeGuesser.h"
#include "mob/CMobDocument.h"
#include "tools/CTypedSampleMob.h"
#include "tools/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>

namespace qm {
namespace {

struct Tally {
    int ids = 0;
    int right = 0;
    int wrongAboveHalf = 0;
};

std::array<Tally, kDataTypeCount> Measure(std::uint64_t seed, std::string& wrongs)
{
    tools::TempDir dir;
    tools::TypedSampleOptions options;
    options.seed = seed;
    const tools::TypedSample sample = tools::CTypedSampleMob::Generate(options);
    tools::WriteFileText(dir.File("mob_desc.txt"), "");
    tools::WriteFileBytes(dir.File("typed.mob"), sample.bytes);
    CMobDocument doc;
    doc.SetDescFile(dir.File("mob_desc.txt"));
    EXPECT_TRUE(doc.ReadDescFile());
    EXPECT_TRUE(doc.LoadMobFile(dir.File("typed.mob"))) << doc.GetIoError();

    const auto guesses = CTypeGuesser::GuessAll(doc);
    std::array<Tally, kDataTypeCount> tallies{};
    for (const auto& [id, type] : sample.truth) {
        Tally& tally = tallies[static_cast<std::size_t>(type)];
        ++tally.ids;
        const TypeGuess* guess = CTypeGuesser::Find(guesses, id);
        if (!guess)
            continue;
        if (guess->dataType == type) {
            ++tally.right;
        } else if (guess->dataType != DT_NULL && guess->confidence > 50) {
            ++tally.wrongAboveHalf;
            char line[128];
            std::snprintf(line, sizeof line, "%08X %s guessed %s %d%%: ", id, kDataTypeNames[static_cast<std::size_t>(type)].data(),
                          kDataTypeNames[static_cast<std::size_t>(guess->dataType)].data(), guess->confidence);
            wrongs += line + guess->reason + "\n";
        }
    }
    return tallies;
}

TEST(GuessAccuracyTest, ShapeTypesAreGuessedRightAndNoWrongGuessIsConfident)
{
    std::array<Tally, kDataTypeCount> total{};
    std::string wrongs;
    for (const std::uint64_t seed : {1u, 2u, 3u, 4u}) {
        const auto tallies = Measure(seed, wrongs);
        for (std::size_t t = 0; t < total.size(); ++t) {
            total[t].ids += tallies[t].ids;
            total[t].right += tallies[t].right;
            total[t].wrongAboveHalf += tallies[t].wrongAboveHalf;
        }
    }
    std::string table = "type          ids  right  share  wrong>50%\n";
    for (std::size_t t = 1; t < total.size(); ++t) {
        char line[96];
        std::snprintf(line, sizeof line, "%-12s %4d  %5d  %4d%%  %d\n", kDataTypeNames[t].data(), total[t].ids,
                      total[t].right, total[t].ids ? 100 * total[t].right / total[t].ids : 0, total[t].wrongAboveHalf);
        table += line;
    }
    std::printf("%s", table.c_str());

    for (const std::int32_t type : {DT_REC, DT_STRING, DT_SCRIPT, DT_SCRIPT_ENC, DT_DIPLOMACY, DT_STR_SAR, DT_STR_S01,
                                    DT_STR_S02}) {
        const Tally& tally = total[static_cast<std::size_t>(type)];
        EXPECT_GE(tally.right * 10, tally.ids * 9) << kDataTypeNames[static_cast<std::size_t>(type)] << "\n" << table;
    }
    EXPECT_EQ(wrongs, "");
}

} // namespace
} // namespace qm
