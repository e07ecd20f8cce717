#include "edit/DocumentNodes.h"

#include "desc/IdKey.h"
#include "mob/CMobDocument.h"

namespace qm {

CMobChunk* RecordOf(CMobDocument& doc, NodeId node)
{
    return doc.Tree().IsValid(node) ? doc.Chunks().Lookup(doc.Tree().GetItemData(node)) : nullptr;
}

const CMobChunk* RecordOf(const CMobDocument& doc, NodeId node)
{
    return doc.Tree().IsValid(node) ? doc.Chunks().Lookup(doc.Tree().GetItemData(node)) : nullptr;
}

NodeId NodeOfKey(const CMobDocument& doc, std::int32_t key)
{
    // Node keys count the nodes inserted, so node n holds key n as long as
    // nodes are only ever added; the walk is for a tree where that changed.
    const CChunkTree& tree = doc.Tree();
    const auto direct = static_cast<NodeId>(key);
    if (key > 0 && tree.IsValid(direct) && tree.GetItemData(direct) == key)
        return direct;
    for (NodeId node = 1; node <= tree.GetCount(); ++node) {
        if (tree.GetItemData(node) == key)
            return node;
    }
    return kNoNode;
}

NodeId FileNodeOf(const CChunkTree& tree, NodeId node)
{
    if (!tree.IsValid(node))
        return kNoNode;
    for (NodeId parent = tree.GetParentItem(node); parent != kNoNode; parent = tree.GetParentItem(node))
        node = parent;
    return node;
}

std::string NodeName(const CMobDocument& doc, NodeId node)
{
    if (!doc.Tree().IsValid(node))
        return {};
    const std::string_view label = doc.Tree().GetItemText(node);
    if (!label.empty())
        return std::string(label);
    const CMobChunk* rec = RecordOf(doc, node);
    return rec ? "[" + IdKey(rec->m_nId) + "]" : std::string();
}

} // namespace qm
