#include "support/DocFixture.h"

#include "mob/CMemMapFile.h"
#include "tools/ChunkBuilder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace qm {
namespace {

using tools::ChunkBuilder;

class TruncatedFileTest : public test::DocFixture {};

TEST_F(TruncatedFileTest, FileCutWhileLoadingIsRefusedAndLeavesNothing)
{
    // Enough chunks for the walk to report progress, when the file is cut.
    ChunkBuilder b;
    for (int i = 0; i < 200000; ++i)
        b.Chunk(test::kIdDword, {1, 2, 3, 4});
    const std::string path = Put(b.Bytes(), "big.mob");
    ChunkBuilder small;
    small.Chunk(test::kIdByte, {1});
    Load(small.Bytes(), "first.mob");

    bool cut = false;
    doc.SetProgressCallback([&](std::uint64_t, std::uint64_t) {
        if (!cut)
            cut = ::truncate(path.c_str(), 4096) == 0;
    });
    EXPECT_FALSE(doc.LoadMobFile(path));
    EXPECT_TRUE(cut);
    EXPECT_NE(doc.GetIoError().find("cut short"), std::string::npos) << doc.GetIoError();
    EXPECT_EQ(doc.Tree().GetCount(), 2u) << "only the first file stays";
    EXPECT_EQ(doc.Chunks().GetCount(), 2u);
    EXPECT_EQ(doc.Tree().GetNextSiblingItem(doc.Tree().GetRootItem()), kNoNode);

    doc.SetProgressCallback({});
    Load(small.Bytes(), "again.mob");
    EXPECT_EQ(doc.Tree().GetItemData(doc.Tree().GetNextSiblingItem(doc.Tree().GetRootItem())), 3);
}

TEST_F(TruncatedFileTest, OtherBusErrorsAreNotSwallowed)
{
    // A fault outside any guarded file must still end the process.
    EXPECT_DEATH(
        {
            const std::string path = Put(std::vector<std::uint8_t>(8192, 1), "other.mob");
            const int fd = ::open(path.c_str(), O_RDONLY);
            void* view = ::mmap(nullptr, 8192, PROT_READ, MAP_PRIVATE, fd, 0);
            CMemMapFile guarded;  // installs the handler
            guarded.m_hFile = ::open(path.c_str(), O_RDONLY);
            guarded.m_nDataSize = 8192;
            (void)guarded.MapFile(0);
            (void)::truncate(path.c_str(), 10);
            guarded.Close();
            volatile std::uint8_t byte = static_cast<const std::uint8_t*>(view)[5000];
            (void)byte;
        },
        "");
}

} // namespace
} // namespace qm
