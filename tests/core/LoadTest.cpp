#include "tools/ChunkBuilder.h"
#include "support/DocFixture.h"
#include "support/TreeDump.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace qm {
namespace {

using tools::ChunkBuilder;
using test::DumpTree;
using test::kIdByte;
using test::kIdDword;
using test::kIdRec;
using test::kIdRecInner;
using test::kIdString;
using test::kIdUnknown;

class LoadTest : public test::DocFixture {
protected:
    std::string LoadNamed(const std::vector<std::uint8_t>& bytes)
    {
        Load(bytes, "f.mob");
        return DumpTree(doc);
    }
    std::string FileLine(std::size_t trailing = 0) const
    {
        return "1 \"" + CMobDocument::FileNodeText(dir.File("f.mob")) + "\" img=1 id=00000000 type=0 size=0 off=0" +
               (trailing != 0 ? " trailing=" + std::to_string(trailing) : "") + "\n";
    }
};

TEST_F(LoadTest, WalksDepthFirstWithKeysOffsetsLabelsAndTypes)
{
    ChunkBuilder b;
    b.Begin(kIdRec).Chunk(kIdByte, {7}).Chunk(kIdString, "abc").End();
    b.Chunk(kIdDword, {1, 0, 0, 0});
    EXPECT_EQ(LoadNamed(b.Bytes()), FileLine() +
                                        "  2 \"Group\" img=2 id=00001000 type=6 size=20 off=0\n"
                                        "    3 \"Flag\" img=3 id=00002001 type=1 size=1 off=8\n"
                                        "    4 \"Name\" img=3 id=00002005 type=5 size=3 off=17\n"
                                        "  5 \"Count\" img=3 id=00002003 type=3 size=4 off=28\n");
    EXPECT_EQ(doc.Chunks().GetCount(), 5u);
    EXPECT_EQ(Rec(3).m_pData.get()[0], 7);
}

TEST_F(LoadTest, UnknownIdsAreLeavesWhateverTheirPayloadLooksLike)
{
    ChunkBuilder inner;
    inner.Chunk(kIdByte, {1});
    ChunkBuilder b;
    b.Begin(kIdRec).End();
    b.Chunk(kIdUnknown, inner.Bytes());
    EXPECT_EQ(LoadNamed(b.Bytes()), FileLine() +
                                        "  2 \"Group\" img=2 id=00001000 type=6 size=0 off=0\n"
                                        "  3 \"\" img=3 id=00007777 type=0 size=9 off=8\n");
}

TEST_F(LoadTest, SecondFileContinuesTheKeys)
{
    ChunkBuilder b;
    b.Begin(kIdRec).Chunk(kIdByte, {1}).End();
    Load(b.Bytes(), "a.mob");
    Load(b.Bytes(), "b.mob");
    const CChunkTree& tree = doc.Tree();
    const NodeId second = tree.GetNextSiblingItem(tree.GetRootItem());
    EXPECT_EQ(tree.GetItemData(second), 4);
    EXPECT_EQ(tree.GetItemText(second), dir.File("b.mob").size() < 40 ? dir.File("b.mob") : CMobDocument::FileNodeText(dir.File("b.mob")));
    EXPECT_EQ(Rec(6).m_nOffset, 8u) << "offsets restart in every file";
}

// Paths are measured and cut in characters: a UTF-8 sequence is one, and a
// byte that starts none (a Latin-1 name, say) is one of its own.
TEST(FileNodeText, ShortensPathsOfFortyCharactersAndMore)
{
    const std::string e = "\xC3\xA9";           // é, two bytes
    const std::string clef = "\xF0\x9D\x84\x9E";  // U+1D11E, four bytes
    const auto times = [](const std::string& piece, int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += piece;
        return out;
    };
    struct Case {
        const char* name;
        std::string path;
        std::string label;
    };
    const Case cases[] = {
        {"39 ASCII", "/" + times("a", 34) + ".mob", "/" + times("a", 34) + ".mob"},
        {"40 ASCII", "/x" + times("b", 34) + ".mob", "/x" + times("b", 6) + "..." + times("b", 26) + ".mob"},
        {"39 two-byte characters", times(e, 39), times(e, 39)},
        {"cut between whole characters", times(e, 20) + times(clef, 20),
         times(e, 8) + "..." + times(e, 10) + times(clef, 20)},
        {"a stray byte is one character", "\xE9" + times("c", 38) + "\xC3",
         "\xE9" + times("c", 7) + "..." + times("c", 29) + "\xC3"},
        {"a sequence cut short is bytes", times("\xE2\x82", 20), times("\xE2\x82", 4) + "..." + times("\xE2\x82", 15)},
        {"overlong and surrogate forms are bytes", times("\xC0\xAF\xED\xA0\x80", 8),
         "\xC0\xAF\xED\xA0\x80\xC0\xAF\xED..." + times("\xC0\xAF\xED\xA0\x80", 6)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CMobDocument::FileNodeText(c.path), c.label) << c.name;
}

// Files whose sizes do not add up: the walk must stay inside the data, end,
// and keep what can be read. Bytes that hold no chunk stay with the list
// they end, so a save writes every byte back; only a size that claims more
// bytes than there are is written as the bytes that are there.
TEST_F(LoadTest, MalformedFilesLoadSafelyAndSaveBackWhole)
{
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::string expected;
        std::vector<std::uint8_t> saved;  // empty: the bytes themselves
    };
    ChunkBuilder zero;
    zero.Chunk(kIdByte, {1}).RawHeader(kIdByte, 0).Chunk(kIdByte, {2});
    ChunkBuilder zeroFirst;
    zeroFirst.RawHeader(kIdString, 0).Chunk(kIdString, "the rest of the file");
    ChunkBuilder small;
    small.Chunk(kIdByte, {1}).RawHeader(kIdByte, 7).Chunk(kIdByte, {2});
    ChunkBuilder pastEnd;
    pastEnd.Chunk(kIdByte, {1}).RawHeader(kIdString, 100).Raw({'a', 'b'});
    ChunkBuilder pastEndSaved;
    pastEndSaved.Chunk(kIdByte, {1}).Chunk(kIdString, "ab");
    ChunkBuilder wrap;
    wrap.RawHeader(kIdString, 0xFFFFFFF8u).Raw({'x', 'y', 'z'});
    ChunkBuilder wrapSaved;
    wrapSaved.Chunk(kIdString, "xyz");
    ChunkBuilder childPastContainer;
    childPastContainer.Begin(kIdRec).RawHeader(kIdString, 50).Raw({'q'}).End().Chunk(kIdByte, {3});
    ChunkBuilder childPastContainerSaved;
    childPastContainerSaved.Begin(kIdRec).Chunk(kIdString, "q").End().Chunk(kIdByte, {3});
    ChunkBuilder containerOfJunk;
    containerOfJunk.Begin(kIdRec).RawHeader(kIdByte, 3).Raw({1, 2, 3}).End();
    ChunkBuilder tooShort;
    tooShort.Chunk(kIdRec, {1, 2, 3, 4, 5}).Chunk(kIdRecInner, {}).Chunk(kIdUnknown, {});
    ChunkBuilder inner;
    inner.Chunk(kIdByte, {1}).Raw({9, 9, 9, 9, 9});
    ChunkBuilder tails;
    tails.Begin(kIdRec).Chunk(kIdRecInner, inner.Bytes()).Chunk(kIdByte, {4}).RawHeader(kIdByte, 3).Raw({6}).End();
    tails.Raw({7, 7, 7});

    const Case cases[] = {
        {"size 0", zero.Bytes(), "  2 \"Flag\" img=3 id=00002001 type=1 size=1 off=0\n", {}},
        {"size 0 in the first chunk", zeroFirst.Bytes(), "", {}},
        {"size below 8", small.Bytes(), "  2 \"Flag\" img=3 id=00002001 type=1 size=1 off=0\n", {}},
        {"size past the end", pastEnd.Bytes(),
         "  2 \"Flag\" img=3 id=00002001 type=1 size=1 off=0\n"
         "  3 \"Name\" img=3 id=00002005 type=5 size=2 off=9\n",
         pastEndSaved.Bytes()},
        {"size that wraps around", wrap.Bytes(), "  2 \"Name\" img=3 id=00002005 type=5 size=3 off=0\n",
         wrapSaved.Bytes()},
        {"child past its container", childPastContainer.Bytes(),
         "  2 \"Group\" img=2 id=00001000 type=6 size=9 off=0\n"
         "    3 \"Name\" img=3 id=00002005 type=5 size=1 off=8\n"
         "  4 \"Flag\" img=3 id=00002001 type=1 size=1 off=17\n",
         childPastContainerSaved.Bytes()},
        {"container whose first chunk is too small", containerOfJunk.Bytes(),
         "  2 \"Group\" img=2 id=00001000 type=6 size=11 off=0\n", {}},
        {"containers too short for a child keep their bytes", tooShort.Bytes(),
         "  2 \"Group\" img=2 id=00001000 type=6 size=5 off=0\n"
         "  3 \"Inner\" img=2 id=00001001 type=6 size=0 off=8\n"
         "  4 \"\" img=3 id=00007777 type=0 size=0 off=16\n",
         {}},
        {"bytes after the last chunk of the file and of containers", tails.Bytes(),
         "  2 \"Group\" img=2 id=00001000 type=6 size=40 off=0 trailing=9\n"
         "    3 \"Inner\" img=2 id=00001001 type=6 size=14 off=8 trailing=5\n"
         "      4 \"Flag\" img=3 id=00002001 type=1 size=1 off=16\n"
         "    5 \"Flag\" img=3 id=00002001 type=1 size=1 off=25\n",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        doc.UnloadAll();
        const std::string dump = LoadNamed(c.bytes);
        const std::vector<std::uint8_t> saved = c.saved.empty() ? c.bytes : c.saved;
        const std::size_t fileTrailing = doc.GetTrailingBytes(doc.Tree().GetRootItem()).size();
        EXPECT_EQ(dump, FileLine(fileTrailing) + c.expected);
        EXPECT_EQ(SaveAndRead(), saved);
    }
    for (std::uint32_t size = 1; size <= 7; ++size) {
        SCOPED_TRACE(size);
        doc.UnloadAll();
        const std::vector<std::uint8_t> tiny(size, 0x10);
        EXPECT_EQ(LoadNamed(tiny), FileLine(size)) << "a file shorter than a header holds no chunk";
        EXPECT_EQ(SaveAndRead(), tiny);
    }
}

TEST_F(LoadTest, RefusesWhatIsNoMobFile)
{
    struct Case {
        const char* name;
        std::string path;
        const char* reason;
    };
    Put({}, "empty.mob");
    ASSERT_EQ(::mkfifo(dir.File("fifo.mob").c_str(), 0600), 0);
    const Case cases[] = {
        {"missing", dir.File("missing.mob"), "No such file or directory"},
        {"empty", dir.File("empty.mob"), "the file is empty"},
        {"folder", dir.Path(), "not a regular file"},
        {"fifo", dir.File("fifo.mob"), "not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(doc.LoadMobFile(c.path));
        EXPECT_NE(doc.GetIoError().find(c.reason), std::string::npos) << doc.GetIoError();
        EXPECT_EQ(doc.Tree().GetCount(), 0u);
        EXPECT_EQ(doc.Chunks().GetCount(), 0u);
    }
}

TEST_F(LoadTest, IdKeysAreEightUpperCaseDigits)
{
    tools::WriteFileText(dir.File("mob_desc.txt"), "0x0000002b\tBYTE\tlower\n0x000000AB\tBYTE\tUPPER\n");
    ASSERT_TRUE(doc.ReadDescFile());
    ChunkBuilder b;
    b.Chunk(0x2B, {1}).Chunk(0xAB, {2});
    Load(b.Bytes());
    EXPECT_EQ(doc.Tree().GetItemText(2), "");
    EXPECT_EQ(doc.Tree().GetItemText(3), "UPPER");
}

} // namespace
} // namespace qm
