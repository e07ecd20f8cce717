#include "mob/CChunkTree.h"

namespace qm {

NodeId CChunkTree::InsertItem(std::string_view label, int image, NodeId parent)
{
    return InsertItem(m_labels.Intern(label), image, parent);
}

NodeId CChunkTree::InsertItem(LabelId label, int image, NodeId parent)
{
    Node node;
    node.parent = parent;
    node.label = label & kLabelMask;
    node.image = static_cast<std::uint32_t>(image) & 7u;
    m_nodes.push_back(node);
    const auto id = static_cast<NodeId>(m_nodes.size());

    NodeId& first = parent == kNoNode ? m_nFirstRoot : At(parent).firstChild;
    NodeId& last = parent == kNoNode ? m_nLastRoot : At(parent).lastChild;
    if (last == kNoNode)
        first = id;
    else
        At(last).nextSibling = id;
    last = id;
    return id;
}

void CChunkTree::DeleteAllItems()
{
    std::vector<Node>().swap(m_nodes);
    m_labels.Clear();
    m_nFirstRoot = kNoNode;
    m_nLastRoot = kNoNode;
}

void CChunkTree::Reserve(std::size_t count)
{
    m_nodes.reserve(count);
}

} // namespace qm
