#include "mob/CTreeSearch.h"

namespace qm {

NodeId CTreeSearch::FindInSubtree(NodeId node, bool& skipCurrent) const
{
    if (!m_tree.IsValid(node))
        return kNoNode;
    const NodeId boundary = m_tree.GetParentItem(node);
    for (; node != kNoNode; node = NextInRange(node, boundary)) {
        if (!skipCurrent && Matches(node))
            return node;
        skipCurrent = false;
    }
    return kNoNode;
}

NodeId CTreeSearch::NextInRange(NodeId node, NodeId boundary) const
{
    if (const NodeId child = m_tree.GetChildItem(node); child != kNoNode)
        return child;
    // Climb to the nearest node with a later sibling, but never above the
    // level the walk started on.
    while (m_tree.GetNextSiblingItem(node) == kNoNode) {
        node = m_tree.GetParentItem(node);
        if (node == boundary)
            return kNoNode;
    }
    return m_tree.GetNextSiblingItem(node);
}

} // namespace qm
