#include "mob/CChunkTree.h"

namespace qm {

NodeId CChunkTree::InsertItem(std::string_view label, int image, NodeId parent)
{
    return InsertItem(m_labels.Intern(label), image, parent);
}

NodeId CChunkTree::LastChildOf(NodeId parent) const
{
    NodeId last = kNoNode;
    for (NodeId child = At(parent).firstChild; child != kNoNode; child = At(child).nextSibling)
        last = child;
    return last;
}

void CChunkTree::DeleteAllItems()
{
    m_nodes.clear();
    m_labels.Clear();
    m_nFirstRoot = kNoNode;
    m_nLastRoot = kNoNode;
}

void CChunkTree::DeleteLastRoot()
{
    const NodeId last = m_nLastRoot;
    if (last == kNoNode)
        return;
    NodeId previous = kNoNode;
    for (NodeId root = m_nFirstRoot; root != last; root = At(root).nextSibling)
        previous = root;
    if (previous == kNoNode)
        m_nFirstRoot = kNoNode;
    else
        At(previous).nextSibling = kNoNode;
    m_nLastRoot = previous;
    m_nodes.truncate(last - 1);
}

} // namespace qm
