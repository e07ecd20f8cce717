#include "inspect/CPayloadBytes.h"

#include "mob/CMobDocument.h"

namespace qm {

CPayloadBytes CPayloadBytes::Of(CMobDocument& doc, NodeId node)
{
    CPayloadBytes bytes;
    const CChunkTree& tree = doc.Tree();
    if (!tree.IsValid(node) || tree.GetParentItem(node) == kNoNode)
        return bytes;
    if (tree.ItemHasChildren(node)) {
        // Saving would refuse what it cannot write, and then there is nothing to show.
        if (!doc.WriteChunkList(node, bytes.m_built))
            bytes.m_built.clear();
        return bytes;
    }
    if (const CMobChunk* rec = doc.Chunks().Lookup(tree.GetItemData(node)); rec && rec->m_pData)
        bytes.m_view = std::span<const std::uint8_t>(rec->m_pData.get(), rec->m_nSize);
    return bytes;
}

} // namespace qm
