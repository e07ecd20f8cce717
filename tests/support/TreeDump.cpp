#include "support/TreeDump.h"

#include <cstdio>
#include <vector>

namespace qm::test {

std::string DumpTree(const CMobDocument& doc)
{
    const CChunkTree& tree = doc.Tree();
    std::string out;
    std::vector<std::pair<NodeId, int>> stack;
    for (NodeId root = tree.GetRootItem(); root != kNoNode; root = tree.GetNextSiblingItem(root)) {
        stack.emplace_back(root, 0);
        while (!stack.empty()) {
            const auto [node, depth] = stack.back();
            stack.pop_back();
            const CMobChunk* rec = doc.Chunks().Lookup(tree.GetItemData(node));
            char line[160];
            std::snprintf(line, sizeof line, "%*s%d \"%.*s\" img=%d id=%08X type=%d size=%u off=%u%s", depth * 2, "",
                          tree.GetItemData(node), static_cast<int>(tree.GetItemText(node).size()),
                          tree.GetItemText(node).data(), tree.GetItemImage(node), rec ? rec->m_nId : 0u,
                          rec ? rec->m_nDataType : -1, rec ? rec->m_nSize : 0u, rec ? rec->m_nOffset : 0u,
                          rec && rec->m_nSize != 0 && !rec->m_pData && !tree.ItemHasChildren(node) ? " -" : "");
            out += line;
            if (const std::size_t trailing = doc.GetTrailingBytes(node).size(); trailing != 0)
                out += " trailing=" + std::to_string(trailing);
            out += '\n';
            std::vector<NodeId> children;
            for (NodeId c = tree.GetChildItem(node); c != kNoNode; c = tree.GetNextSiblingItem(c))
                children.push_back(c);
            for (auto it = children.rbegin(); it != children.rend(); ++it)
                stack.emplace_back(*it, depth + 1);
        }
    }
    return out;
}

} // namespace qm::test
