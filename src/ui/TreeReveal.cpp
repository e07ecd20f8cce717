#include "ui/TreeReveal.h"

#include "ui/CChunkTreeModel.h"

#include <QTreeView>

#include <algorithm>
#include <utility>
#include <vector>

namespace qm {

namespace {

// How many levels the view may be asked to open. It lays out an open
// branch by calling itself once per level and takes time in the square of
// the depth to open a chain, so a chain of tens of thousands of open levels
// would overflow its stack.
constexpr std::size_t kMaxRevealDepth = 1000;

} // namespace

void RevealNode(QTreeView& view, const CChunkTreeModel& model, NodeId node)
{
    const CChunkTree& tree = model.Tree();
    std::vector<NodeId> ancestors;
    for (NodeId parent = tree.GetParentItem(node); parent != kNoNode; parent = tree.GetParentItem(parent))
        ancestors.push_back(parent);
    std::reverse(ancestors.begin(), ancestors.end());

    // Top down, so the view lays out one new level at a time.
    const std::size_t opened = std::min(ancestors.size(), kMaxRevealDepth);
    for (std::size_t i = 0; i < opened; ++i)
        view.expand(model.IndexFromNode(ancestors[i]));

    const QModelIndex index = model.IndexFromNode(node);
    const bool reachable = opened == ancestors.size();
    view.scrollTo(reachable ? index : model.IndexFromNode(ancestors[opened]));
    // Selecting scrolls to the new current node, which would open all of
    // its closed ancestors from the bottom up.
    const bool autoScroll = view.hasAutoScroll();
    view.setAutoScroll(reachable && autoScroll);
    view.selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    view.setAutoScroll(autoScroll);
}

void ExpandAllBelow(QTreeView& view, const CChunkTreeModel& model, const QModelIndex& index)
{
    const NodeId top = CChunkTreeModel::NodeFromIndex(index);
    if (top == kNoNode)
        return;
    const CChunkTree& tree = model.Tree();
    std::vector<std::pair<NodeId, std::size_t>> pending{{top, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        if (!tree.ItemHasChildren(node) || depth >= kMaxRevealDepth)
            continue;
        view.expand(model.IndexFromNode(node));
        for (NodeId child = tree.GetChildItem(node); child != kNoNode; child = tree.GetNextSiblingItem(child))
            pending.emplace_back(child, depth + 1);
    }
}

} // namespace qm
