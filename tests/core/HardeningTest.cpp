// Failures from outside the program: full disks, kills, odd files. Each runs
// through the same code path the editor uses.

#include "support/DocFixture.h"

#include "platform/LittleEndian.h"
#include "tools/ChunkBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qm {
namespace {

using namespace std::string_view_literals;
using tools::ChunkBuilder;

class HardeningTest : public test::DocFixture {};

TEST_F(HardeningTest, SaveOverSomethingThatCannotBeReplacedLeavesItAlone)
{
    ChunkBuilder b;
    b.Chunk(test::kIdByte, {1});
    Load(b.Bytes());
    ASSERT_EQ(::mkdir(dir.File("folder.mob").c_str(), 0700), 0);
    tools::WriteFileText(dir.File("folder.mob/inside"), "keep");

    EXPECT_FALSE(doc.SaveMobFile(dir.File("folder.mob")));
    EXPECT_NE(doc.GetIoError().find("Is a directory"), std::string::npos) << doc.GetIoError();
    EXPECT_EQ(tools::ReadFileText(dir.File("folder.mob/inside")), "keep");
    EXPECT_EQ(tools::ListFolder(dir.Path()), (std::vector<std::string>{"folder.mob", "mob_desc.txt", "test.mob"}));

    doc.SetDescFile(dir.File("folder.mob"));
    EXPECT_FALSE(doc.WriteDescFile());
    EXPECT_NE(doc.GetError().find("Is a directory"), std::string::npos) << doc.GetError();
}

// A save killed at any moment leaves the old file or the whole new one.
TEST_F(HardeningTest, KilledSaveLeavesOldOrNewNeverAMix)
{
    ChunkBuilder small;
    small.Chunk(test::kIdString, std::string(1000, 'o'));
    ChunkBuilder large;
    large.Chunk(test::kIdString, std::string(4 << 20, 'n'));
    const std::string target = Put(small.Bytes(), "target.mob");
    Load(large.Bytes(), "large.mob");

    std::mt19937 random(7);
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;)
                doc.SaveMobFile(target);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const auto now = tools::ReadFileBytes(target);
        EXPECT_TRUE(now == small.Bytes() || now == large.Bytes()) << "round " << round << ": " << now.size() << " bytes";
    }
}

TEST_F(HardeningTest, HugeSparseFilesAreRefusedOrReadWithoutHanging)
{
    struct Case {
        const char* name;
        off_t size;
        bool loads;
    };
    const Case cases[] = {
        {"5 GiB", off_t{5} << 30, false},
        {"4 GiB exactly", off_t{1} << 32, false},
        {"0xFFFFFFFF bytes", 0xFFFFFFFF, false},
        {"the largest accepted", 0xFFFFFFFE, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File("sparse.mob");
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, c.size), 0);
        ::close(fd);
        doc.UnloadAll();
        EXPECT_EQ(doc.LoadMobFile(path), c.loads) << doc.GetIoError();
        if (!c.loads) {
            EXPECT_NE(doc.GetIoError().find("too large"), std::string::npos) << doc.GetIoError();
        }
        ::unlink(path.c_str());
    }
    // Zeros hold a chunk of size 0, which ends the list at once.
    EXPECT_EQ(doc.Tree().GetCount(), 1u);
}

TEST_F(HardeningTest, OddDescriptionFilesFailClearlyOrReadCleanly)
{
    std::mt19937 random(11);
    std::string noise(64 << 10, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    struct Case {
        const char* name;
        std::string text;
        bool reads;
    };
    const Case cases[] = {
        {"NUL inside a line", std::string("0x00000001\tBYTE\tA\0hidden\n0x00000002\tBYTE\tB\n"sv), true},
        {"NUL starting a line", std::string("0x00000001\tBYTE\tA\n\0\n"sv), false},
        {"1 MiB line", "0x00000001\tSTRING\tLong\t" + std::string(1 << 20, 'x') + "\n", true},
        {"CR-only line ends", "0x00000001\tBYTE\tA\r0x00000002\tBYTE\tB\r", true},
        {"random bytes", noise, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tools::WriteFileText(dir.File("odd.txt"), c.text);
        CDescTable table;
        table.SetDescFile(dir.File("odd.txt"));
        const bool read = table.ReadDescFile();
        EXPECT_EQ(read, c.reads) << table.GetError();
        if (!read) {
            EXPECT_NE(table.GetError().find("at line "), std::string::npos) << table.GetError();
        }
    }
}

TEST_F(HardeningTest, MillionDeepTreeLoadsSavesAndUnloads)
{
    constexpr std::uint32_t kDepth = 1000000;
    std::vector<std::uint8_t> bytes(std::size_t{kDepth} * 8 + 9);
    for (std::uint32_t i = 0; i < kDepth; ++i) {
        le::WriteU32(bytes.data() + 8 * i, test::kIdRec);
        le::WriteU32(bytes.data() + 8 * i + 4, static_cast<std::uint32_t>(bytes.size() - 8 * i));
    }
    le::WriteU32(bytes.data() + 8 * kDepth, test::kIdByte);
    le::WriteU32(bytes.data() + 8 * kDepth + 4, 9);
    bytes.back() = 0x5A;

    Load(bytes);
    EXPECT_EQ(doc.Tree().GetCount(), std::size_t{kDepth} + 2);
    EXPECT_EQ(SaveAndRead(), bytes);
    doc.UnloadAll();
    EXPECT_EQ(doc.Chunks().GetCount(), 0u);
}

} // namespace
} // namespace qm
