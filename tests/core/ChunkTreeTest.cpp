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

TEST(ChunkTree, AppendsInOrderWithOrWithoutTheLastChildHint)
{
    CChunkTree tree;
    const NodeId a = tree.InsertItem("a", IMG_FILE, kNoNode);
    const NodeId b = tree.InsertItem("b", IMG_FILE, kNoNode);
    const NodeId a1 = tree.InsertItem("a1", IMG_CHUNK, a);
    tree.InsertItem(tree.InternLabel("a2"), IMG_CHUNK, a, a1);
    tree.InsertItem("b1", IMG_CHUNK, b);
    tree.InsertItem("a3", IMG_CHUNK, a);  // no hint: found by walking a's children

    EXPECT_EQ(ChildLabels(tree, kNoNode), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(ChildLabels(tree, a), (std::vector<std::string>{"a1", "a2", "a3"}));
    EXPECT_EQ(ChildLabels(tree, b), (std::vector<std::string>{"b1"}));
    EXPECT_EQ(tree.GetCount(), 6u);
    EXPECT_EQ(tree.GetParentItem(a1), a);
    EXPECT_EQ(tree.GetItemImage(a1), IMG_CHUNK);
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

} // namespace
} // namespace qm
