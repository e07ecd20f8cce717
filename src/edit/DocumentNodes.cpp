#include "edit/DocumentNodes.h"

#include "desc/DataType.h"
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
    // A node's key is its handle; a node an edit took out of the tree is
    // no longer found.
    const CChunkTree& tree = doc.Tree();
    const auto node = static_cast<NodeId>(key);
    return key > 0 && tree.IsAttached(node) && tree.GetItemData(node) == key ? node : kNoNode;
}

NodeId FileNodeOf(const CChunkTree& tree, NodeId node)
{
    return tree.IsValid(node) ? tree.GetTopItem(node) : kNoNode;
}

ChunkPlace PlaceForNewChunks(const CMobDocument& doc, NodeId node)
{
    const CChunkTree& tree = doc.Tree();
    const NodeId parent = tree.GetParentItem(node);
    const CMobChunk* rec = RecordOf(doc, node);
    if (parent == kNoNode || (rec && rec->m_nDataType == DT_REC))
        return {node, tree.GetChildCount(node)};
    return {parent, tree.GetIndexOf(node) + 1};
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

std::string GrowthRefusal(const CMobDocument& doc, NodeId list, std::int64_t delta, NodeId stopAt)
{
    if (delta <= 0)
        return {};
    const CChunkTree& tree = doc.Tree();
    for (NodeId node = list; node != stopAt && node != kNoNode; node = tree.GetParentItem(node)) {
        if (tree.GetParentItem(node) == kNoNode) {
            const std::uint64_t bytes = doc.GetFileBytes(node) + static_cast<std::uint64_t>(delta);
            if (bytes > CMobDocument::kLargestFile)
                return "The file would be " + std::to_string(bytes) + " bytes long, more than a MOB file can be (" +
                       std::to_string(CMobDocument::kLargestFile) + ").";
            return {};
        }
        const CMobChunk* rec = RecordOf(doc, node);
        const std::uint64_t bytes = (rec ? rec->m_nSize : 0) + static_cast<std::uint64_t>(delta);
        if (bytes > CMobDocument::kLargestPayload)
            return NodeName(doc, node) + " would hold " + std::to_string(bytes) +
                   " bytes, more than a chunk can hold (" + std::to_string(CMobDocument::kLargestPayload) + ").";
    }
    return {};
}

} // namespace qm
