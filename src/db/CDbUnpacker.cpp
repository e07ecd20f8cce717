#include "db/CDbUnpacker.h"

#include "codec/CPayloadTextForm.h"
#include "db/CDbText.h"
#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "mob/CMobDocument.h"

#include <unordered_map>
#include <vector>

namespace qm::db {

namespace {

constexpr std::uint64_t kProgressInterval = 1 << 14;

std::string_view DataTypeName(std::int32_t dataType)
{
    if (dataType < 0 || dataType >= kDataTypeCount)
        return kDataTypeNames[DT_NULL];
    return kDataTypeNames[static_cast<std::size_t>(dataType)];
}

std::optional<Bytes> TrailingOf(const CMobDocument& doc, NodeId node)
{
    const std::span<const std::uint8_t> bytes = doc.GetTrailingBytes(node);
    if (bytes.empty())
        return std::nullopt;
    return bytes;
}

} // namespace

bool CDbUnpacker::Begin(const CDescTable& descriptions)
{
    if (!m_store.BeginUnpack())
        return false;
    for (const auto& [key, described] : descriptions.SortedEntries()) {
        const CFieldDesc& entry = *described;
        const std::string type = CDbText::FromEightBit(entry.m_strType);
        const std::string name = CDbText::FromEightBit(entry.m_strName);
        const std::string description = CDbText::FromEightBit(entry.m_strDescription);
        if (!m_store.PutDescription({CDbText::FromEightBit(key), type, name, description}))
            return false;
    }
    return true;
}

std::optional<std::int64_t> CDbUnpacker::AddFile(const CMobDocument& doc, NodeId fileNode, std::string_view source)
{
    const CChunkTree& tree = doc.Tree();
    const std::optional<std::int64_t> fileId = m_store.AddFile(CDbText::FromFileName(source), TrailingOf(doc, fileNode));
    if (!fileId)
        return std::nullopt;

    const std::int64_t keyBase = std::int64_t{tree.GetItemData(fileNode)} - 1;
    // Places and depths by node handle: handles are dense, and a parent is
    // always visited before its children.
    std::vector<std::uint32_t> nextPosition(tree.GetCount() + 1, 0);
    std::vector<std::uint32_t> depth(tree.GetCount() + 1, 0);
    std::unordered_map<CChunkTree::LabelId, std::string> names;
    CPayloadTextForm::Unpacked unpacked;
    CPayloadTextForm::Scratch scratch;
    std::string textScratch;
    const std::uint64_t total = tree.GetCount();
    std::uint64_t done = 0;

    for (NodeId node = tree.GetChildItem(fileNode); node != kNoNode; node = tree.NextInPreOrder(node, fileNode)) {
        const CMobChunk* rec = doc.Chunks().Lookup(tree.GetItemData(node));
        if (!rec)
            continue;
        const NodeId parent = tree.GetParentItem(node);
        depth[node] = depth[parent] + 1;
        const std::string idKey = IdKey(rec->m_nId);
        auto named = names.find(tree.GetItemLabel(node));
        if (named == names.end())
            named = names.emplace(tree.GetItemLabel(node), CDbText::FromEightBit(tree.GetItemText(node))).first;

        ChunkRow row;
        row.nodeKey = tree.GetItemData(node) - keyBase;
        if (parent != fileNode)
            row.parentKey = tree.GetItemData(parent) - keyBase;
        row.position = nextPosition[parent]++;
        row.depth = depth[node];
        row.id = rec->m_nId;
        row.idKey = idKey;
        row.name = named->second;
        row.dataType = DataTypeName(rec->m_nDataType);
        row.size = rec->m_nSize;
        row.offset = rec->m_nOffset;
        row.trailing = TrailingOf(doc, node);
        if (!tree.ItemHasChildren(node)) {
            if (rec->m_nSize != 0 && !rec->m_pData) {
                m_strError = "the chunk with node key " + std::to_string(row.nodeKey) +
                             " has payload bytes that could not be read when it was loaded";
                return std::nullopt;
            }
            const Bytes payload(rec->m_pData.get(), rec->m_pData ? rec->m_nSize : 0);
            row.payload = payload;
            CPayloadTextForm::Unpack(rec->m_nDataType, rec->m_nId, payload, unpacked, scratch);
            if (unpacked.hasText)
                row.text = CDbText::FromUtf8(unpacked.text, textScratch);
        }
        if (!m_store.AddChunk(*fileId, row))
            return std::nullopt;
        if (m_progress && ++done % kProgressInterval == 0)
            m_progress(done, total);
    }
    if (!m_store.EndFile())
        return std::nullopt;
    return fileId;
}

bool CDbUnpacker::Commit()
{
    return m_store.Commit();
}

const std::string& CDbUnpacker::Error() const
{
    return m_strError.empty() ? m_store.Error() : m_strError;
}

} // namespace qm::db
