#include "edit/CChunkMove.h"

#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "edit/DocumentNodes.h"
#include "mob/CMobDocument.h"
#include "platform/LittleEndian.h"

#include <limits>

namespace qm {

namespace {

constexpr std::uint32_t kHeaderSize = 8;

// Why node cannot be taken as a chunk: it is not in the tree, or is a file.
std::string ChunkRefusal(const CMobDocument& doc, NodeId node, std::string_view verb)
{
    const CChunkTree& tree = doc.Tree();
    if (!tree.IsAttached(node) || !RecordOf(doc, node))
        return "There is no such chunk.";
    if (tree.GetParentItem(node) == kNoNode)
        return "A file is not " + std::string(verb) + " this way; Unload drops the loaded files.";
    return {};
}

// Why chunks cannot go to index among parent's children; except, a child
// that is about to leave the list, is not counted. Chunks already in a
// list may change places in it whatever it is; only a file or a container
// takes new ones.
std::string PlaceRefusal(const CMobDocument& doc, NodeId parent, std::size_t index, NodeId except = kNoNode)
{
    const CChunkTree& tree = doc.Tree();
    if (!tree.IsAttached(parent) || !RecordOf(doc, parent))
        return "There is no such place in the tree.";
    const bool reorder = except != kNoNode && tree.GetParentItem(except) == parent;
    if (!reorder && tree.GetParentItem(parent) != kNoNode && RecordOf(doc, parent)->m_nDataType != DT_REC)
        return NodeName(doc, parent) + " is not a container: chunks go only into a file or into a chunk of type REC.";
    // Children are counted up to the place only, so that a place near the
    // front of a long list is found fast.
    const auto countUpTo = [&](std::size_t limit) {
        std::size_t count = 0;
        for (NodeId child = tree.GetChildItem(parent); child != kNoNode && count < limit;
             child = tree.GetNextSiblingItem(child))
            count += child == except ? 0 : 1;
        return count;
    };
    if (countUpTo(index) == index)
        return {};
    const std::size_t count = countUpTo(SIZE_MAX);
    return "There is no place " + std::to_string(index) + " in " + NodeName(doc, parent) + ": it holds " +
           std::to_string(count) + (count == 1 ? " chunk." : " chunks.");
}

// Node keys are signed 32-bit numbers, and each chunk takes at least 8 bytes.
std::string RoomRefusal(const CMobDocument& doc, std::size_t bytes)
{
    const std::uint64_t most = doc.Tree().GetCount() + 1 + bytes / kHeaderSize;
    if (most > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return "So many chunks have been loaded and made that there is no node key left for more; unload first.";
    return {};
}

// How a step names a chunk of the id: its name, or its id key in brackets.
std::string IdName(const CMobDocument& doc, std::uint32_t id)
{
    const CFieldDesc* entry = doc.LookupDesc(IdKey(id));
    return entry && !entry->m_strName.empty() ? entry->m_strName : "[" + IdKey(id) + "]";
}

// The node the run goes after to stand at index among parent's children,
// counted without except.
NodeId PrevAt(const CChunkTree& tree, NodeId parent, std::size_t index, NodeId except = kNoNode)
{
    NodeId prev = kNoNode;
    for (NodeId child = tree.GetChildItem(parent); child != kNoNode && index != 0;
         child = tree.GetNextSiblingItem(child)) {
        if (child == except)
            continue;
        prev = child;
        --index;
    }
    return prev;
}

NodeId CommonAncestor(const CChunkTree& tree, NodeId a, NodeId b)
{
    const auto depth = [&](NodeId node) {
        std::size_t d = 0;
        for (; node != kNoNode; node = tree.GetParentItem(node))
            ++d;
        return d;
    };
    std::size_t da = depth(a);
    std::size_t db = depth(b);
    for (; da > db; --da)
        a = tree.GetParentItem(a);
    for (; db > da; --db)
        b = tree.GetParentItem(b);
    while (a != b) {
        a = tree.GetParentItem(a);
        b = tree.GetParentItem(b);
    }
    return a;
}

// New chunks from bytes, checked for room, at index among parent's children.
PreparedEdit NewChunks(CChunkMove::Checked checked, const CMobDocument& doc, NodeId parent, std::size_t index, std::vector<std::uint8_t> bytes,
                       std::string label, NodeId reverted = kNoNode)
{
    std::string refusal = GrowthRefusal(doc, parent, static_cast<std::int64_t>(bytes.size()));
    if (refusal.empty())
        refusal = RoomRefusal(doc, bytes.size());
    if (!refusal.empty())
        return PreparedEdit::Refuse(std::move(refusal));
    const CChunkTree& tree = doc.Tree();
    const CChunkMove::Place to{parent, PrevAt(tree, parent, index)};
    if (reverted == kNoNode)
        reverted = to.prev != kNoNode ? to.prev : parent;
    return {std::make_unique<CChunkMove>(checked, std::move(bytes), to,
                                         CChunkMove::Shown{std::move(label), kNoNode, reverted},
                                         CChunkMove::Files{FileNodeOf(tree, parent), kNoNode}),
            {}};
}

} // namespace

PreparedEdit CChunkMove::ForInsert(const CMobDocument& doc, NodeId parent, std::size_t index, std::uint32_t id,
                                   std::span<const std::uint8_t> payload)
{
    if (std::string refusal = PlaceRefusal(doc, parent, index); !refusal.empty())
        return PreparedEdit::Refuse(std::move(refusal));
    if (payload.size() > CMobDocument::kLargestPayload)
        return PreparedEdit::Refuse("A chunk holds at most " + std::to_string(CMobDocument::kLargestPayload) +
                                    " bytes.");
    std::vector<std::uint8_t> bytes(kHeaderSize + payload.size());
    le::WriteU32(bytes.data(), id);
    le::WriteU32(bytes.data() + 4, static_cast<std::uint32_t>(bytes.size()));
    std::copy(payload.begin(), payload.end(), bytes.begin() + kHeaderSize);
    return NewChunks(Checked(), doc, parent, index, std::move(bytes), "Insert " + IdName(doc, id));
}

PreparedEdit CChunkMove::ForImport(const CMobDocument& doc, NodeId parent, std::size_t index,
                                   std::span<const std::uint8_t> bytes)
{
    if (std::string refusal = PlaceRefusal(doc, parent, index); !refusal.empty())
        return PreparedEdit::Refuse(std::move(refusal));
    std::string error;
    if (!doc.CheckChunkList(bytes, error))
        return PreparedEdit::Refuse("These bytes are not a list of chunks. " + error);
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < bytes.size(); pos += le::ReadU32(bytes.data() + pos + 4))
        ++count;
    std::string label = count == 1 ? "Paste " + IdName(doc, le::ReadU32(bytes.data()))
                                   : "Paste " + std::to_string(count) + " chunks";
    return NewChunks(Checked(), doc, parent, index, std::vector<std::uint8_t>(bytes.begin(), bytes.end()), std::move(label));
}

PreparedEdit CChunkMove::ForDuplicate(CMobDocument& doc, NodeId node)
{
    if (std::string refusal = ChunkRefusal(doc, node, "duplicated"); !refusal.empty())
        return PreparedEdit::Refuse(std::move(refusal));
    std::vector<std::uint8_t> bytes;
    if (!doc.WriteChunk(node, bytes))
        return PreparedEdit::Refuse(doc.GetIoError());
    const CChunkTree& tree = doc.Tree();
    const NodeId parent = tree.GetParentItem(node);
    return NewChunks(Checked(), doc, parent, tree.GetIndexOf(node) + 1, std::move(bytes), "Duplicate " + NodeName(doc, node),
                     node);
}

PreparedEdit CChunkMove::ForDelete(const CMobDocument& doc, NodeId node)
{
    if (std::string refusal = ChunkRefusal(doc, node, "deleted"); !refusal.empty())
        return PreparedEdit::Refuse(std::move(refusal));
    const CChunkTree& tree = doc.Tree();
    const NodeId parent = tree.GetParentItem(node);
    const NodeId prev = tree.GetPrevSiblingItem(node);
    NodeId neighbour = tree.GetNextSiblingItem(node);
    if (neighbour == kNoNode)
        neighbour = prev != kNoNode ? prev : parent;
    return {std::make_unique<CChunkMove>(Checked(), node, Place{parent, prev}, Place{},
                                         Shown{"Delete " + NodeName(doc, node), neighbour, node},
                                         Files{FileNodeOf(tree, node), kNoNode}),
            {}};
}

PreparedEdit CChunkMove::ForMove(const CMobDocument& doc, NodeId node, NodeId parent, std::size_t index)
{
    if (std::string refusal = ChunkRefusal(doc, node, "moved"); !refusal.empty())
        return PreparedEdit::Refuse(std::move(refusal));
    const CChunkTree& tree = doc.Tree();
    const NodeId from = tree.GetParentItem(node);
    if (std::string refusal = PlaceRefusal(doc, parent, index, node); !refusal.empty())
        return PreparedEdit::Refuse(std::move(refusal));
    for (NodeId above = parent; above != kNoNode; above = tree.GetParentItem(above)) {
        if (above == node)
            return PreparedEdit::Refuse("A chunk cannot go inside itself.");
    }
    const NodeId prev = tree.GetPrevSiblingItem(node);
    const NodeId toPrev = PrevAt(tree, parent, index, node);
    if (parent == from && toPrev == prev)
        return PreparedEdit::Unchanged();
    if (parent != from) {
        const std::int64_t bytes = kHeaderSize + std::int64_t{RecordOf(doc, node)->m_nSize};
        if (std::string growth = GrowthRefusal(doc, parent, bytes, CommonAncestor(tree, from, parent)); !growth.empty())
            return PreparedEdit::Refuse(std::move(growth));
    }
    const NodeId fromFile = FileNodeOf(tree, from);
    const NodeId toFile = FileNodeOf(tree, parent);
    return {std::make_unique<CChunkMove>(Checked(), node, Place{from, prev}, Place{parent, toPrev},
                                         Shown{"Move " + NodeName(doc, node), node, node},
                                         Files{fromFile, toFile != fromFile ? toFile : kNoNode}),
            {}};
}

CChunkMove::CChunkMove(Checked, NodeId node, Place from, Place to, Shown shown, Files files)
    : m_first(node), m_last(node), m_from(from), m_to(to), m_shown(std::move(shown)), m_files(files)
{
}

CChunkMove::CChunkMove(Checked, std::vector<std::uint8_t> bytes, Place to, Shown shown, Files files)
    : m_to(to), m_bytes(std::move(bytes)), m_shown(std::move(shown)), m_files(files)
{
}

void CChunkMove::Apply(CMobDocument& doc)
{
    if (m_first == kNoNode) {
        // The chunks are made once, in a list of their own, and from then
        // on only move: undone and done again, they are the same nodes.
        const NodeId list = doc.ParseDetached(m_bytes);
        std::vector<std::uint8_t>().swap(m_bytes);
        const CChunkTree& tree = doc.Tree();
        m_first = tree.GetChildItem(list);
        for (m_last = m_first; tree.GetNextSiblingItem(m_last) != kNoNode;)
            m_last = tree.GetNextSiblingItem(m_last);
        m_from = {list, kNoNode};
    }
    doc.MoveChunks(m_first, m_last, m_from.prev, m_to.parent, m_to.prev);
    m_bApplied = true;
}

void CChunkMove::Revert(CMobDocument& doc)
{
    doc.MoveChunks(m_first, m_last, m_to.prev, m_from.parent, m_from.prev);
    m_bApplied = false;
}

NodeId CChunkMove::Node() const
{
    if (!m_bApplied)
        return m_shown.reverted;
    return m_shown.applied != kNoNode ? m_shown.applied : m_first;
}

std::size_t CChunkMove::KeptBytes() const
{
    return sizeof(CChunkMove) + m_bytes.capacity() + m_shown.label.capacity();
}

void CChunkMove::CollectFiles(const CMobDocument& /*doc*/, std::vector<NodeId>& files) const
{
    for (const NodeId file : m_files) {
        if (file != kNoNode)
            files.push_back(file);
    }
}

} // namespace qm
