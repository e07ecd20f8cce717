#include "tools/ChunkBuilder.h"
#include "support/DocFixture.h"

#include "platform/LittleEndian.h"
#include "tools/CSyntheticMob.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm {
namespace {

using tools::ChunkBuilder;
using test::kIdByte;
using test::kIdRec;
using test::kIdRecInner;
using test::kIdString;

class SaveTest : public test::DocFixture {};

// Nested and flat, and large enough that a save goes out in several
// pieces, with one payload larger than a piece in between.
TEST_F(SaveTest, LargeFilesComeBackByteForByte)
{
    tools::WriteFileText(dir.File("mob_desc.txt"), tools::CSyntheticMob::DescriptionText());
    ASSERT_TRUE(doc.ReadDescFile());
    tools::SyntheticOptions options;
    options.chunkCount = 100000;
    options.maxDepth = 6;
    auto bytes = tools::CSyntheticMob::Generate(options);
    const std::uint32_t big = 5u << 20;
    std::vector<std::uint8_t> chunk(8 + big);
    le::WriteU32(chunk.data(), 0x00090000);
    le::WriteU32(chunk.data() + 4, static_cast<std::uint32_t>(chunk.size()));
    for (std::size_t i = 8; i < chunk.size(); ++i)
        chunk[i] = static_cast<std::uint8_t>(i * 7);
    bytes.insert(bytes.end(), chunk.begin(), chunk.end());
    options.seed = 2;
    options.chunkCount = 30000;
    options.maxDepth = 0;
    const auto more = tools::CSyntheticMob::Generate(options);
    bytes.insert(bytes.end(), more.begin(), more.end());
    ASSERT_GT(bytes.size(), std::size_t{12} << 20);

    Load(bytes);
    EXPECT_EQ(SaveAndRead(), bytes);
}

// The bytes after a container's last chunk stay behind its last chunk.
TEST_F(SaveTest, GrownPayloadGrowsEveryEnclosingContainer)
{
    ChunkBuilder b;
    b.Begin(kIdRec).Begin(kIdRecInner).Chunk(kIdString, "ab").Raw({9, 9}).End().Chunk(kIdByte, {1}).End();
    Load(b.Bytes());
    CMobChunk& name = doc.Chunks().Lookup(4)[0];
    ASSERT_EQ(name.m_nId, kIdString);
    name.ReplacePayload(CPayload::Copy(reinterpret_cast<const std::uint8_t*>("abcdef"), 6), 6);

    ChunkBuilder expected;
    expected.Begin(kIdRec).Begin(kIdRecInner).Chunk(kIdString, "abcdef").Raw({9, 9}).End().Chunk(kIdByte, {1}).End();
    const auto saved = SaveAndRead();
    EXPECT_EQ(saved, expected.Bytes());
    EXPECT_EQ(le::ReadU32(saved.data() + 4), le::ReadU32(b.Bytes().data() + 4) + 4);
    EXPECT_EQ(le::ReadU32(saved.data() + 12), le::ReadU32(b.Bytes().data() + 12) + 4);
}

// An empty file could not be loaded again, so it is never written.
TEST_F(SaveTest, AnEmptyResultIsRefused)
{
    Load({1, 2, 3});
    doc.SetTrailingBytes(doc.Tree().GetRootItem(), {});
    const std::string target = Put({4, 5, 6}, "target.mob");
    EXPECT_FALSE(doc.SaveMobFile(target));
    EXPECT_EQ(doc.GetIoError(), "The file would be empty, and an empty file cannot be loaded again.");
    EXPECT_EQ(tools::ReadFileBytes(target), (std::vector<std::uint8_t>{4, 5, 6}));
}

TEST_F(SaveTest, SavesOverTheFileItWasLoadedFrom)
{
    ChunkBuilder b;
    b.Chunk(kIdString, "before");
    const std::string path = Load(b.Bytes());
    doc.Chunks().Lookup(2)->ReplacePayload(CPayload::Copy(reinterpret_cast<const std::uint8_t*>("after"), 5), 5);
    ASSERT_TRUE(doc.SaveMobFile(path)) << doc.GetIoError();
    ChunkBuilder expected;
    expected.Chunk(kIdString, "after");
    EXPECT_EQ(tools::ReadFileBytes(path), expected.Bytes());
}

TEST_F(SaveTest, ALeafWithoutItsBytesIsNotSavedAsSomethingElse)
{
    ChunkBuilder b;
    b.Chunk(kIdString, "abc");
    Load(b.Bytes());
    doc.Chunks().Lookup(2)->m_pData.reset();
    const std::string target = Put({1, 2, 3}, "target.mob");
    EXPECT_FALSE(doc.SaveMobFile(target));
    EXPECT_NE(doc.GetIoError().find("could not be read"), std::string::npos) << doc.GetIoError();
    EXPECT_EQ(tools::ReadFileBytes(target), (std::vector<std::uint8_t>{1, 2, 3}));
}

// Runs body in a child process under a file-size limit of limitBytes, and
// returns whether the child reported success.
template <class Body>
bool RunUnderFileSizeLimit(rlim_t limitBytes, Body body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{limitBytes, limitBytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(body() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A write that fails in the first piece of the file, or after whole pieces
// have gone out.
TEST_F(SaveTest, FailedSaveLeavesTheOldFileIntact)
{
    struct Case {
        std::uint32_t chunks;
        std::uint32_t grownPayload;
        rlim_t limit;
    };
    for (const Case c : {Case{1, 200000, 150000}, Case{3000, 4000, 6u << 20}}) {
        SCOPED_TRACE(c.chunks);
        doc.UnloadAll();
        ChunkBuilder b;
        for (std::uint32_t i = 0; i < c.chunks; ++i)
            b.Chunk(kIdString, std::string(c.grownPayload / 2, 's'));
        const std::string path = Load(b.Bytes());
        for (std::int32_t key = 2; key < static_cast<std::int32_t>(c.chunks) + 2; ++key)
            doc.Chunks().Lookup(key)->ReplacePayload(CPayload::Allocate(c.grownPayload), c.grownPayload);

        const bool reportedFailure = RunUnderFileSizeLimit(c.limit, [&] {
            return !doc.SaveMobFile(path) && doc.GetIoError().find("File too large") != std::string::npos;
        });
        EXPECT_TRUE(reportedFailure);
        EXPECT_EQ(tools::ReadFileBytes(path), b.Bytes());
        EXPECT_EQ(tools::ListFolder(dir.Path()), (std::vector<std::string>{"mob_desc.txt", "test.mob"}));
    }

    EXPECT_FALSE(doc.SaveMobFile(dir.File("missing/folder.mob")));
    EXPECT_NE(doc.GetIoError().find("No such file or directory"), std::string::npos);
}

} // namespace
} // namespace qm
