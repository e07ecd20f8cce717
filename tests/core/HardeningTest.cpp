// Failures from outside the program: full disks, kills, odd files. Each runs
// through the same code path the editor uses.

#include "support/DocFixture.h"

#include "platform/CInterruptCleanup.h"
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

// A save stopped at any moment leaves the old file or the whole new one, or,
// for a file with a second name that is written in place, the whole old
// one in a backup copy beside it. An interrupt (SIGINT, SIGTERM) leaves
// nothing else behind: no temporary file, no backup, no half-written file.
TEST_F(HardeningTest, StoppedSaveLeavesOldOrNewNeverAMix)
{
    ChunkBuilder small;
    small.Chunk(test::kIdString, std::string(1000, 'o'));
    ChunkBuilder large;
    large.Chunk(test::kIdString, std::string(4 << 20, 'n'));
    Load(large.Bytes(), "large.mob");
    struct Case {
        const char* name;
        int signal;
        bool secondName;
    };
    const Case cases[] = {
        {"SIGKILL", SIGKILL, false},
        {"SIGINT", SIGINT, false},
        {"SIGTERM", SIGTERM, false},
        {"SIGKILL, two names", SIGKILL, true},
        {"SIGINT, two names", SIGINT, true},
        {"SIGTERM, two names", SIGTERM, true},
    };
    std::mt19937 random(7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = dir.File(c.name);
        ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
        const std::string target = folder + "/target.mob";
        tools::WriteFileBytes(target, small.Bytes());
        std::vector<std::string> names{"target.mob"};
        if (c.secondName) {
            ASSERT_EQ(::link(target.c_str(), (folder + "/other-name.mob").c_str()), 0);
            names.insert(names.begin(), "other-name.mob");
        }
        for (int round = 0; round < 8; ++round) {
            tools::WriteFileBytes(target, small.Bytes());
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                platform::CInterruptCleanup::Install();
                for (;;)
                    doc.SaveMobFile(target);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
            ::kill(child, c.signal);
            int status = 0;
            ::waitpid(child, &status, 0);
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal);
            const auto now = tools::ReadFileBytes(target);
            const bool whole = now == small.Bytes() || now == large.Bytes();
            const auto left = tools::ListFolder(folder);
            if (c.signal != SIGKILL) {
                EXPECT_TRUE(whole) << "round " << round << ": " << now.size() << " bytes";
                EXPECT_EQ(left, names) << "round " << round;
                continue;
            }
            // A backup copy beside the file, when there is one, holds the old bytes.
            bool backedUp = false;
            for (const std::string& name : left) {
                if (name.find(".backup-") == std::string::npos)
                    continue;
                backedUp = backedUp || tools::ReadFileBytes(folder + "/" + name) == small.Bytes();
                ::unlink((folder + "/" + name).c_str());
            }
            EXPECT_TRUE(whole || backedUp) << "round " << round << ": " << now.size() << " bytes";
        }
    }
}

// (The largest file accepted, 0xFFFFFFFE bytes, is not loaded here: every
// one of its bytes would be kept, and that is more memory than a test run
// may take.)
TEST_F(HardeningTest, HugeSparseFilesAreRefusedWithoutBeingRead)
{
    for (const off_t size : {off_t{5} << 30, off_t{1} << 32, off_t{0xFFFFFFFF}}) {
        SCOPED_TRACE(size);
        const std::string path = dir.File("sparse.mob");
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
        EXPECT_FALSE(doc.LoadMobFile(path));
        EXPECT_NE(doc.GetIoError().find("too large"), std::string::npos) << doc.GetIoError();
        ::unlink(path.c_str());
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
