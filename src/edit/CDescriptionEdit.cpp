#include "edit/CDescriptionEdit.h"

#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "edit/DocumentNodes.h"
#include "mob/CMobDocument.h"

#include <cassert>
#include <utility>

namespace qm {

namespace {

// How a step names an entry: by its name, or by its key when it has none.
std::string EntryName(std::string_view key, std::string_view name)
{
    return name.empty() ? "[" + std::string(key) + "]" : std::string(name);
}

} // namespace

CDescriptionEdit::CDescriptionEdit(Checked, std::string_view key, std::optional<CFieldDesc> entry,
                                   bool chunksFollow, std::string label, NodeId shown)
    : m_strKey(key), m_entry(std::move(entry)), m_strLabel(std::move(label)), m_node(shown),
      m_bChunksFollow(chunksFollow)
{
}

PreparedEdit CDescriptionEdit::ForDescription(const CMobDocument& doc, std::string_view idText, std::string_view text,
                                              NodeId shown)
{
    const std::string_view key = CDescTable::KeyOfIdText(idText);
    const CFieldDesc* current = doc.LookupDesc(key);
    if (!current)
        return PreparedEdit::Refuse(CDescTable::NoDescriptionError(idText));
    if (current->m_strDescription == text)
        return PreparedEdit::Unchanged();
    CFieldDesc entry = *current;
    entry.m_strDescription = text;
    std::string label = "Edit description of " + EntryName(key, current->m_strName);
    return {std::make_unique<CDescriptionEdit>(Checked(), key, std::move(entry), false, std::move(label), shown), {}};
}

PreparedEdit CDescriptionEdit::ForEntry(const CMobDocument& doc, std::string_view key, CFieldDesc entry, NodeId shown)
{
    if (!IdOfKey(key))
        return PreparedEdit::Refuse("The id \"" + std::string(key) +
                                    "\" is not eight upper-case hexadecimal digits, so no chunk could have it.");
    // The file reader stops at a line without a type or a name.
    if (entry.m_strName.empty() || entry.m_strType.empty())
        return PreparedEdit::Refuse("A description needs a name and a data type.");
    const CFieldDesc* current = doc.LookupDesc(key);
    if (current && *current == entry)
        return PreparedEdit::Unchanged();

    const int oldType = current ? CDescTable::TypeCodeFromName(current->m_strType) : DT_NULL;
    const int newType = CDescTable::TypeCodeFromName(entry.m_strType);
    const bool chunksFollow = !current || oldType != newType || current->m_strName != entry.m_strName;
    const std::string name = EntryName(key, entry.m_strName);
    std::string label;
    if (oldType != newType)
        label = "Set type of " + name + " to " + entry.m_strType;
    else if (chunksFollow)
        label = "Change description entry of " + name;
    else
        label = "Edit description of " + name;
    return {std::make_unique<CDescriptionEdit>(Checked(), key, std::move(entry), chunksFollow, std::move(label), shown),
            {}};
}

void CDescriptionEdit::Exchange(CMobDocument& doc)
{
    m_entry = doc.ReplaceEntry(m_strKey, std::move(m_entry));
    if (!m_bChunksFollow)
        return;
    if (!m_bChunksFound) {
        FindFollowingChunks(doc);
        m_bChunksFound = true;
    }
    CChunkTree& tree = doc.Tree();
    TypeLaterChunks(doc);
    for (FollowingChunk& chunk : m_chunks) {
        CMobChunk* rec = RecordOf(doc, chunk.node);
        assert(rec);
        if (!rec)
            continue;
        std::swap(rec->m_nDataType, chunk.dataType);
        const CChunkTree::LabelId label = tree.GetItemLabel(chunk.node);
        tree.SetItemLabel(chunk.node, chunk.label);
        chunk.label = label;
        const int image = tree.GetItemImage(chunk.node);
        tree.SetItemImage(chunk.node, chunk.image);
        chunk.image = image;
    }
}

// Visits every chunk with the entry's id among nodes first..last, with the
// label, data type and image it takes from the entry in the table, as if it
// were loaded now. A chunk keeps its children whatever its type, and with
// them the container's image.
template <class Visitor>
void CDescriptionEdit::ForEachChunkOfTheId(CMobDocument& doc, NodeId first, NodeId last, Visitor&& visit) const
{
    const std::optional<std::uint32_t> id = IdOfKey(m_strKey);
    if (!id)
        return;
    CChunkTree& tree = doc.Tree();
    const CFieldDesc* entry = doc.LookupDesc(m_strKey);
    const std::int32_t dataType = entry ? CDescTable::TypeCodeFromName(entry->m_strType) : DT_NULL;
    const CChunkTree::LabelId label = tree.InternLabel(entry ? std::string_view(entry->m_strName) : std::string_view());
    for (NodeId node = first; node <= last; ++node) {
        if (tree.GetParentItem(node) == kNoNode)
            continue;  // a file node's record has id 0 but it is no chunk
        CMobChunk* rec = RecordOf(doc, node);
        if (!rec || rec->m_nId != *id)
            continue;
        const int image = (dataType == DT_REC || tree.ItemHasChildren(node)) ? IMG_CONTAINER : IMG_CHUNK;
        visit(node, *rec, FollowingChunk{node, dataType, label, image});
    }
}

// Called once the new entry is in the table.
void CDescriptionEdit::FindFollowingChunks(CMobDocument& doc)
{
    m_nNodesFound = static_cast<NodeId>(doc.Tree().GetCount());
    ForEachChunkOfTheId(doc, 1, m_nNodesFound,
                        [&](NodeId, const CMobChunk&, const FollowingChunk& chunk) { m_chunks.push_back(chunk); });
    m_chunks.shrink_to_fit();
}

// Files loaded since the step first found its chunks took their types from
// the table at the time; undone or done again, the step leaves them as a
// load now would.
void CDescriptionEdit::TypeLaterChunks(CMobDocument& doc) const
{
    CChunkTree& tree = doc.Tree();
    ForEachChunkOfTheId(doc, m_nNodesFound + 1, static_cast<NodeId>(tree.GetCount()),
                        [&](NodeId node, CMobChunk& rec, const FollowingChunk& chunk) {
                            rec.m_nDataType = chunk.dataType;
                            tree.SetItemLabel(node, chunk.label);
                            tree.SetItemImage(node, chunk.image);
                        });
}

std::size_t CDescriptionEdit::KeptBytes() const
{
    std::size_t bytes = sizeof(CDescriptionEdit) + m_strKey.capacity() + m_strLabel.capacity() +
                        m_chunks.capacity() * sizeof(FollowingChunk);
    if (m_entry)
        bytes += m_entry->m_strDescription.capacity() + m_entry->m_strName.capacity() + m_entry->m_strType.capacity();
    return bytes;
}

bool CDescriptionEdit::Absorb(IEditOperation& next)
{
    const auto* other = dynamic_cast<const CDescriptionEdit*>(&next);
    // Only description text merges; this step keeps the entry from before both.
    return other && other->m_strKey == m_strKey && !m_bChunksFollow && !other->m_bChunksFollow;
}

bool CDescriptionEdit::ChangesNothing(const CMobDocument& doc) const
{
    const CFieldDesc* current = doc.LookupDesc(m_strKey);
    if (m_bChunksFollow || !current || !m_entry)
        return false;
    return *current == *m_entry;
}

} // namespace qm
