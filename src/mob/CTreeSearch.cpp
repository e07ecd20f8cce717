#include "mob/CTreeSearch.h"

namespace qm {

NodeId CTreeSearch::FindInSubtree(NodeId node, bool& skipCurrent) const
{
    if (!m_tree.IsValid(node))
        return kNoNode;
    const NodeId boundary = m_tree.GetParentItem(node);
    for (; node != kNoNode; node = m_tree.NextInPreOrder(node, boundary)) {
        if (!skipCurrent && Matches(node))
            return node;
        skipCurrent = false;
    }
    return kNoNode;
}

} // namespace qm
