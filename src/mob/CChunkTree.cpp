#include "mob/CChunkTree.h"

namespace qm {

NodeId CChunkTree::InsertItem(std::string_view label, int image, NodeId parent)
{
    return InsertItem(m_labels.Intern(label), image, parent);
}

NodeId CChunkTree::InsertDetached()
{
    m_nodes.emplace_back();
    return static_cast<NodeId>(m_nodes.size());
}

NodeId CChunkTree::GetTopItem(NodeId node) const
{
    for (NodeId parent = At(node).parent; parent != kNoNode; parent = At(node).parent)
        node = parent;
    return node;
}

bool CChunkTree::IsAttached(NodeId node) const
{
    if (!IsValid(node))
        return false;
    const NodeId top = GetTopItem(node);
    for (NodeId root = m_nFirstRoot; root != kNoNode; root = At(root).nextSibling) {
        if (root == top)
            return true;
    }
    return false;
}

NodeId CChunkTree::GetPrevSiblingItem(NodeId node) const
{
    const NodeId parent = At(node).parent;
    NodeId previous = kNoNode;
    for (NodeId sibling = parent == kNoNode ? m_nFirstRoot : At(parent).firstChild; sibling != kNoNode;
         sibling = At(sibling).nextSibling) {
        if (sibling == node)
            return previous;
        previous = sibling;
    }
    return kNoNode;
}

std::size_t CChunkTree::GetChildCount(NodeId parent) const
{
    std::size_t count = 0;
    for (NodeId child = At(parent).firstChild; child != kNoNode; child = At(child).nextSibling)
        ++count;
    return count;
}

NodeId CChunkTree::GetChildAt(NodeId parent, std::size_t index) const
{
    NodeId child = At(parent).firstChild;
    for (; child != kNoNode && index != 0; --index)
        child = At(child).nextSibling;
    return child;
}

std::size_t CChunkTree::GetIndexOf(NodeId node) const
{
    const NodeId parent = At(node).parent;
    std::size_t index = 0;
    for (NodeId sibling = parent == kNoNode ? m_nFirstRoot : At(parent).firstChild;
         sibling != kNoNode && sibling != node; sibling = At(sibling).nextSibling)
        ++index;
    return index;
}

RowMove CChunkTree::DescribeMove(NodeId first, NodeId last, NodeId prev, NodeId toParent, NodeId toPrev) const
{
    RowMove move{first, last, 1, At(first).parent, 0, false, toParent, 0, false};
    for (NodeId node = first; node != last; node = At(node).nextSibling)
        ++move.count;
    move.fromShown = move.fromParent != kNoNode && IsAttached(move.fromParent);
    if (move.fromShown)
        move.fromRow = prev == kNoNode ? 0 : GetIndexOf(prev) + 1;
    move.toShown = toParent != kNoNode && IsAttached(toParent);
    if (move.toShown) {
        move.toRow = toPrev == kNoNode ? 0 : GetIndexOf(toPrev) + 1;
        // Rows after the run in its own list move up once it is out.
        if (toParent == move.fromParent && move.toRow > move.fromRow)
            move.toRow -= move.count;
    }
    return move;
}

void CChunkTree::MoveRun(NodeId first, NodeId last, NodeId prev, NodeId toParent, NodeId toPrev)
{
    const NodeId fromParent = At(first).parent;
    RowMove move{};
    if (m_pListener) {
        move = DescribeMove(first, last, prev, toParent, toPrev);
        m_pListener->BeforeRowsMove(move);
    }
    const NodeId after = At(last).nextSibling;
    if (prev != kNoNode)
        At(prev).nextSibling = after;
    else if (fromParent != kNoNode)
        At(fromParent).firstChild = after;
    for (NodeId node = first;; node = At(node).nextSibling) {
        At(node).parent = toParent;
        if (node == last)
            break;
    }
    if (toParent == kNoNode) {
        At(last).nextSibling = kNoNode;
    } else if (toPrev != kNoNode) {
        At(last).nextSibling = At(toPrev).nextSibling;
        At(toPrev).nextSibling = first;
    } else {
        At(last).nextSibling = At(toParent).firstChild;
        At(toParent).firstChild = first;
    }
    if (m_pListener)
        m_pListener->AfterRowsMove(move);
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
