#include "mob/CChunkTree.h"

namespace qm {

NodeId CChunkTree::InsertItem(std::string_view label, int image, NodeId parent)
{
    return InsertItem(m_labels.Intern(label), image, parent);
}

NodeId CChunkTree::InsertItem(LabelId label, int image, NodeId parent, NodeId lastChild)
{
    if (parent == kNoNode) {
        lastChild = m_nLastRoot;
    } else if (lastChild == kNoNode) {
        for (NodeId child = At(parent).firstChild; child != kNoNode; child = At(child).nextSibling)
            lastChild = child;
    }
    Node node;
    node.parent = parent;
    node.label = label & kLabelMask;
    node.image = static_cast<std::uint32_t>(image) & 7u;
    m_nodes.emplace_back(node);
    const auto id = static_cast<NodeId>(m_nodes.size());

    if (lastChild != kNoNode)
        At(lastChild).nextSibling = id;
    else if (parent == kNoNode)
        m_nFirstRoot = id;
    else
        At(parent).firstChild = id;
    if (parent == kNoNode)
        m_nLastRoot = id;
    return id;
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
