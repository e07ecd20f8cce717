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

} // namespace
} // namespace qm
