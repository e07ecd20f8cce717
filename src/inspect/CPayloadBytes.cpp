#include "inspect/CPayloadBytes.h"

#include "mob/CMobDocument.h"

namespace qm {

CPayloadBytes CPayloadBytes::Of(CMobDocument& doc, NodeId node)
{
    CPayloadBytes bytes;
    const CChunkTree& tree = doc.Tree();
    if (!tree.IsValid(node) || tree.GetParentItem(node) == kNoNode)
        return bytes;
    // Saving would refuse what it cannot write, and then there is nothing to show.
    if (!doc.GetSavedPayload(node, bytes.m_built, bytes.m_view)) {
        bytes.m_built.clear();
        bytes.m_view = {};
    }
    return bytes;
}

} // namespace qm
