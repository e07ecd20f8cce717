#include "mob/CTreeSearch.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

namespace qm {
namespace {

// a.mob
//   POSITION
//     POS
//     XPOS
//   Position
//   POSE
//     P
// b.mob
//   POSTER
class TreeSearchTest : public ::testing::Test {
protected:
    TreeSearchTest()
    {
        Add("a.mob", "");
        Add("POSITION", "a.mob");
        Add("POS", "POSITION");
        Add("XPOS", "POSITION");
        Add("Position", "a.mob");
        Add("POSE", "a.mob");
        Add("P", "POSE");
        Add("b.mob", "");
        Add("POSTER", "b.mob");
    }

    void Add(const std::string& label, const std::string& parent)
    {
        nodes[label] = tree.InsertItem(label, IMG_CHUNK, parent.empty() ? kNoNode : nodes.at(parent));
    }

    std::string Find(const std::string& start, std::string_view text, bool skip = true)
    {
        const NodeId found = CTreeSearch(tree, text).FindInSubtree(nodes.at(start), skip);
        return found == kNoNode ? "(none)" : std::string(tree.GetItemText(found));
    }

    CChunkTree tree;
    std::map<std::string, NodeId> nodes;
};

TEST_F(TreeSearchTest, FollowsTheRangeRule)
{
    struct Case {
        const char* start;
        const char* text;
        bool skip;
        const char* expected;
    };
    const Case cases[] = {
        // The start node is passed over, then its subtree comes first.
        {"POSITION", "POS", true, "POS"},
        {"POSITION", "POS", false, "POSITION"},
        // Later siblings, never earlier ones, never an ancestor's later sibling.
        {"XPOS", "POS", true, "(none)"},
        {"Position", "POS", true, "POSE"},
        {"POSE", "POS", true, "(none)"},
        // A file node covers its file and the later files, not the earlier.
        {"a.mob", "POST", true, "POSTER"},
        {"b.mob", "a.mob", true, "(none)"},
        {"a.mob", "b.mob", true, "b.mob"},
        // Bytes at the start of the label, case kept.
        {"a.mob", "Pos", true, "Position"},
        {"a.mob", "OS", true, "(none)"},
        {"a.mob", "POSITIONS", true, "(none)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Find(c.start, c.text, c.skip), c.expected) << "from " << c.start << " for '" << c.text << "'";
}

// The recursive walk the search stands for, on small trees only.
NodeId RecursiveFind(const CChunkTree& tree, std::string_view text, NodeId node, bool& skip)
{
    for (; node != kNoNode; node = tree.GetNextSiblingItem(node)) {
        if (!skip && tree.GetItemText(node).starts_with(text))
            return node;
        skip = false;
        if (const NodeId found = RecursiveFind(tree, text, tree.GetChildItem(node), skip); found != kNoNode)
            return found;
    }
    return kNoNode;
}

TEST(TreeSearch, VisitsInTheOrderOfTheRecursiveWalk)
{
    std::mt19937 random(7);
    const char* labels[] = {"A", "AB", "B", "BA", ""};
    CChunkTree tree;
    std::vector<NodeId> open{kNoNode};
    for (int i = 0; i < 3000; ++i) {
        const NodeId node = tree.InsertItem(labels[random() % 5], IMG_CHUNK, open.back());
        const auto roll = random() % 10;
        if (roll < 3 && open.size() < 12)
            open.push_back(node);
        else if (roll < 5 && open.size() > 1)
            open.pop_back();
    }
    for (NodeId start = 1; start <= tree.GetCount(); ++start) {
        for (const char* text : {"A", "BA", "C"}) {
            bool skipIterative = true;
            bool skipRecursive = true;
            ASSERT_EQ(CTreeSearch(tree, text).FindInSubtree(start, skipIterative),
                      RecursiveFind(tree, text, start, skipRecursive))
                << "from node " << start << " for '" << text << "'";
        }
    }
}

TEST(TreeSearch, WalksAMillionLevelsWithoutRecursion)
{
    constexpr int kDepth = 1'000'000;
    CChunkTree tree;
    NodeId parent = tree.InsertItem("deep.mob", IMG_FILE, kNoNode);
    const NodeId top = parent;
    for (int level = 1; level < kDepth; ++level)
        parent = tree.InsertItem(level + 1 == kDepth ? "BOTTOM" : "LEVEL", IMG_CHUNK, parent);

    bool skip = true;
    EXPECT_EQ(CTreeSearch(tree, "BOTTOM").FindInSubtree(top, skip), parent);
    skip = true;
    EXPECT_EQ(CTreeSearch(tree, "NOWHERE").FindInSubtree(top, skip), kNoNode);
}

} // namespace
} // namespace qm
