#pragma once

#include "mob/CChunkTree.h"

#include <string>
#include <string_view>

namespace qm {

// Finds the next node whose label begins with a given text, the way Find
// Next walks the tree: depth first in tree order, from a start node through
// everything below it, then each later sibling of the start node with
// everything below that. Earlier siblings, ancestors and the later siblings
// of ancestors are outside the range, and the walk does not wrap.
//
// Labels are compared as bytes, case kept.
class CTreeSearch {
public:
    CTreeSearch(const CChunkTree& tree, std::string_view text) : m_tree(tree), m_strText(text) {}

    // The first match in the range that starts at node, or kNoNode. While
    // skipCurrent is true the first node visited cannot match; it is false
    // on return once any node has been visited.
    NodeId FindInSubtree(NodeId node, bool& skipCurrent) const;

    bool Matches(NodeId node) const { return m_tree.GetItemText(node).starts_with(m_strText); }

private:
    const CChunkTree& m_tree;
    std::string m_strText;
};

} // namespace qm
