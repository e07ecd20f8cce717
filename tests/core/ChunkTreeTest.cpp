#include "mob/CBlockVector.h"
#include "mob/CChunkTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm {
namespace {

std::vector<std::string> ChildLabels(const CChunkTree& tree, NodeId parent)
{
    std::vector<std::string> labels;
    NodeId node = parent == kNoNode ? tree.GetRootItem() : tree.GetChildItem(parent);
    for (; node != kNoNode; node = tree.GetNextSiblingItem(node))
        labels.emplace_back(tree.GetItemText(node));
    return labels;
}

// Blocks of four, so that a few dozen elements span several regions; a
// truncation back into an earlier region, and growth again from there.
TEST(BlockVector, KeepsEveryElementThroughTruncationAndRegrowth)
{
    CBlockVector<std::string, 2> strings;
    const auto fill = [&](std::size_t from, std::size_t to, char tag) {
        for (std::size_t i = from; i < to; ++i)
            strings.emplace_back(std::string(40, tag) + std::to_string(i));
    };
    const auto check = [&](std::size_t from, std::size_t to, char tag) {
        for (std::size_t i = from; i < to; ++i)
            ASSERT_EQ(strings[i], std::string(40, tag) + std::to_string(i)) << i;
    };
    fill(0, 50, 'a');
    strings.truncate(6);
    strings.release_unused();
    fill(6, 40, 'b');
    EXPECT_EQ(strings.size(), 40u);
    check(0, 6, 'a');
    check(6, 40, 'b');
    strings.truncate(0);
    fill(0, 9, 'c');
    check(0, 9, 'c');
}

// A listener that keeps what it was told.
class MoveLog : public ITreeListener {
public:
    void BeforeRowsMove(const RowMove& move) override { before.push_back(move); }
    void AfterRowsMove(const RowMove& move) override { after.push_back(move); }
    std::vector<RowMove> before;
    std::vector<RowMove> after;
};

// Runs move among siblings, between lists, out of the tree and back, and in
// from a detached list; the lists end as they should and a listener hears
// the rows each run leaves and takes, counted as a view counts them.
TEST(ChunkTree, MovesRunsAndTellsTheRows)
{
    struct Case {
        const char* name;
        std::vector<std::string> file;  // the file's children afterwards
        std::vector<std::string> a;     // a's children afterwards
        // from row, shown; to row, shown; count
        std::size_t fromRow;
        bool fromShown;
        std::size_t toRow;
        bool toShown;
        std::size_t count;
    };
    // f: a (a1, a2), b, c, d; and x, y in a list of their own.
    CChunkTree tree;
    const NodeId f = tree.InsertItem("f", IMG_FILE, kNoNode);
    const NodeId a = tree.InsertItem("a", IMG_CONTAINER, f);
    const NodeId a1 = tree.InsertItem("a1", IMG_CHUNK, a);
    const NodeId a2 = tree.InsertItem("a2", IMG_CHUNK, a);
    const NodeId b = tree.InsertItem("b", IMG_CHUNK, f);
    const NodeId c = tree.InsertItem("c", IMG_CHUNK, f);
    const NodeId d = tree.InsertItem("d", IMG_CHUNK, f);
    const NodeId list = tree.InsertDetached();
    const NodeId x = tree.InsertItem("x", IMG_CHUNK, list);
    const NodeId y = tree.InsertItem("y", IMG_CHUNK, list);
    MoveLog log;
    tree.SetListener(&log);

    const auto check = [&](const Case& expected) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(ChildLabels(tree, f), expected.file);
        EXPECT_EQ(ChildLabels(tree, a), expected.a);
        ASSERT_EQ(log.before.size(), 1u);
        ASSERT_EQ(log.after.size(), 1u);
        const RowMove& move = log.before.front();
        EXPECT_EQ(move.fromShown, expected.fromShown);
        EXPECT_EQ(move.toShown, expected.toShown);
        if (expected.fromShown) {
            EXPECT_EQ(move.fromRow, expected.fromRow);
        }
        if (expected.toShown) {
            EXPECT_EQ(move.toRow, expected.toRow);
        }
        EXPECT_EQ(move.count, expected.count);
        EXPECT_EQ(log.after.front().toRow, move.toRow);
        log.before.clear();
        log.after.clear();
    };
    using V = std::vector<std::string>;
    tree.MoveRun(b, b, a, f, d);
    check({"down among siblings", V{"a", "c", "d", "b"}, V{"a1", "a2"}, 1, true, 3, true, 1});
    tree.MoveRun(c, d, a, f, kNoNode);
    check({"a run up to the front", V{"c", "d", "a", "b"}, V{"a1", "a2"}, 1, true, 0, true, 2});
    tree.MoveRun(b, b, a, a, a2);
    check({"into another list", V{"c", "d", "a"}, V{"a1", "a2", "b"}, 3, true, 2, true, 1});
    tree.MoveRun(a1, a1, kNoNode, kNoNode, kNoNode);
    check({"out of the tree", V{"c", "d", "a"}, V{"a2", "b"}, 0, true, 0, false, 1});
    EXPECT_FALSE(tree.IsAttached(a1));
    tree.MoveRun(a1, a1, kNoNode, a, kNoNode);
    check({"back again", V{"c", "d", "a"}, V{"a1", "a2", "b"}, 0, false, 0, true, 1});
    EXPECT_TRUE(tree.IsAttached(a1));
    tree.MoveRun(x, y, kNoNode, a, a2);
    check({"in from a list of their own", V{"c", "d", "a"}, V{"a1", "a2", "x", "y", "b"}, 0, false, 2, true, 2});
    EXPECT_TRUE(tree.IsAttached(y));
    EXPECT_EQ(tree.GetParentItem(y), a);
    EXPECT_EQ(tree.GetCount(), 10u) << "nodes are moved, never made or freed";
}

} // namespace
} // namespace qm
