#include "db/CDbPacker.h"

#include "codec/CPayloadTextForm.h"
#include "db/CDbText.h"
#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "mob/CMobDocument.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_map>
#include <vector>

namespace qm::db {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint32_t kHeaderSize = 8;

// What packing keeps of a row: its place in the tree and its bytes.
struct Node {
    std::int64_t key = 0;
    std::optional<std::int64_t> parentKey;
    std::int64_t position = 0;
    std::int64_t depth = 0;
    std::uint32_t id = 0;
    std::int32_t dataType = DT_NULL;
    bool hasPayload = false;       // payload or text was given
    std::uint64_t bytesAt = 0;     // in the arena
    std::uint32_t size = 0;
    std::uint32_t parent = kNone;  // index of the parent node
    std::uint32_t childBegin = 0;  // children in Rows::order
    std::uint32_t childEnd = 0;
    std::vector<std::uint8_t> trailing;
};

std::optional<std::int32_t> DataTypeCode(std::string_view name)
{
    for (std::size_t code = 0; code < kDataTypeNames.size(); ++code) {
        if (kDataTypeNames[code] == name)
            return static_cast<std::int32_t>(code);
    }
    return std::nullopt;
}

std::string KeyText(std::int64_t key)
{
    return "the chunk with node key " + std::to_string(key);
}

// The rows of one file, checked and linked into a tree.
class Rows {
public:
    bool Take(const ChunkRow& row, std::string& error);
    bool Link(std::string& error);
    void Build(CMobDocument& doc, std::string_view source, const std::optional<Bytes>& trailing) const;

private:
    bool TakePayload(const ChunkRow& row, Node& node, std::string& error);
    bool CheckPlaces(std::string& error) const;
    bool CheckDepths(std::string& error) const;

    std::vector<Node> m_nodes;
    std::vector<std::uint8_t> m_arena;
    std::vector<std::uint32_t> m_order;  // children grouped by parent, in position order; roots last
    std::uint32_t m_rootsBegin = 0;
    CPayloadTextForm::Scratch m_scratch;
    std::string m_textScratch;
};

bool Rows::Take(const ChunkRow& row, std::string& error)
{
    Node node;
    node.key = row.nodeKey;
    node.parentKey = row.parentKey;
    node.position = row.position;
    node.depth = row.depth;
    if (row.id < 0 || row.id > 0xFFFFFFFFll) {
        error = KeyText(row.nodeKey) + " has the id " + std::to_string(row.id) + ", which does not fit 32 bits";
        return false;
    }
    node.id = static_cast<std::uint32_t>(row.id);
    if (row.idKey != IdKey(node.id)) {
        error = KeyText(row.nodeKey) + " has the id_key '" + std::string(row.idKey) + "', but its id " +
                std::to_string(row.id) + " has the key " + IdKey(node.id);
        return false;
    }
    const std::optional<std::int32_t> dataType = DataTypeCode(row.dataType);
    if (!dataType) {
        error = KeyText(row.nodeKey) + " has the unknown data_type '" + std::string(row.dataType) + "'";
        return false;
    }
    node.dataType = *dataType;
    if (row.trailing)
        node.trailing.assign(row.trailing->begin(), row.trailing->end());
    if (!TakePayload(row, node, error))
        return false;
    m_nodes.push_back(std::move(node));
    return true;
}

bool Rows::TakePayload(const ChunkRow& row, Node& node, std::string& error)
{
    node.hasPayload = row.payload || row.text;
    if (!node.hasPayload)
        return true;
    std::optional<std::string_view> text;
    if (row.text)
        text = CDbText::ToUtf8(*row.text, m_textScratch);
    node.bytesAt = m_arena.size();
    std::size_t badAt = 0;
    switch (CPayloadTextForm::Pack(node.dataType, node.id, text, row.payload, m_arena, m_scratch, &badAt)) {
    case CPayloadTextForm::Result::Ok:
        break;
    case CPayloadTextForm::Result::NothingGiven:
        error = KeyText(row.nodeKey) + " has neither payload nor text";
        return false;
    case CPayloadTextForm::Result::BadCharacter:
        error = "the text of " + KeyText(row.nodeKey) + " has a character at byte " +
                std::to_string(badAt) + " that its data type cannot hold";
        return false;
    case CPayloadTextForm::Result::Refused:
        error = "the text of " + KeyText(row.nodeKey) + " is not valid " + std::string(row.dataType) +
                " text";
        return false;
    }
    const std::uint64_t size = m_arena.size() - node.bytesAt;
    if (size > 0xFFFFFFFFull - kHeaderSize) {
        error = KeyText(row.nodeKey) + " would be larger than a chunk can be (4 GiB)";
        return false;
    }
    node.size = static_cast<std::uint32_t>(size);
    return true;
}

bool Rows::Link(std::string& error)
{
    std::unordered_map<std::int64_t, std::uint32_t> indexOfKey;
    indexOfKey.reserve(m_nodes.size());
    for (std::uint32_t i = 0; i < m_nodes.size(); ++i) {
        if (!indexOfKey.emplace(m_nodes[i].key, i).second) {
            error = "there are two chunks with node key " + std::to_string(m_nodes[i].key);
            return false;
        }
    }
    for (Node& node : m_nodes) {
        if (!node.parentKey)
            continue;
        const auto parent = indexOfKey.find(*node.parentKey);
        if (parent == indexOfKey.end()) {
            error = KeyText(node.key) + " has the parent_key " + std::to_string(*node.parentKey) +
                    ", which is no chunk of the file";
            return false;
        }
        node.parent = parent->second;
    }
    m_order.resize(m_nodes.size());
    for (std::uint32_t i = 0; i < m_order.size(); ++i)
        m_order[i] = i;
    // kNone sorts last, so the top-level chunks end the order.
    std::sort(m_order.begin(), m_order.end(), [this](std::uint32_t a, std::uint32_t b) {
        const Node& x = m_nodes[a];
        const Node& y = m_nodes[b];
        if (x.parent != y.parent)
            return x.parent < y.parent;
        return x.position != y.position ? x.position < y.position : x.key < y.key;
    });
    m_rootsBegin = static_cast<std::uint32_t>(m_order.size());
    for (std::uint32_t at = 0; at < m_order.size();) {
        const std::uint32_t parent = m_nodes[m_order[at]].parent;
        std::uint32_t end = at;
        while (end < m_order.size() && m_nodes[m_order[end]].parent == parent)
            ++end;
        if (parent == kNone) {
            m_rootsBegin = at;
        } else {
            m_nodes[parent].childBegin = at;
            m_nodes[parent].childEnd = end;
        }
        at = end;
    }
    return CheckPlaces(error) && CheckDepths(error);
}

bool Rows::CheckPlaces(std::string& error) const
{
    // Siblings must hold the positions 0, 1, 2, ... with none twice or left out.
    std::int64_t expected = 0;
    std::uint32_t parent = kNone - 1;
    for (const std::uint32_t index : m_order) {
        const Node& node = m_nodes[index];
        if (node.parent != parent) {
            parent = node.parent;
            expected = 0;
        }
        if (node.position != expected) {
            error = KeyText(node.key) + " has the position " + std::to_string(node.position) + " where " +
                    std::to_string(expected) + " was expected among the children of " +
                    (node.parentKey ? "node key " + std::to_string(*node.parentKey) : std::string("the file"));
            return false;
        }
        ++expected;
    }
    return true;
}

bool Rows::CheckDepths(std::string& error) const
{
    // A walk down from the top level reaches every row unless parent_key
    // values go round in a circle.
    std::vector<bool> reached(m_nodes.size(), false);
    std::vector<std::uint32_t> pending(m_order.begin() + m_rootsBegin, m_order.end());
    std::size_t count = 0;
    while (!pending.empty()) {
        const std::uint32_t index = pending.back();
        pending.pop_back();
        const Node& node = m_nodes[index];
        reached[index] = true;
        ++count;
        const std::int64_t expected = node.parent == kNone ? 1 : m_nodes[node.parent].depth + 1;
        if (node.depth != expected) {
            error = KeyText(node.key) + " has the depth " + std::to_string(node.depth) + " where " +
                    std::to_string(expected) + " was expected";
            return false;
        }
        if (node.childBegin != node.childEnd && node.hasPayload) {
            error = KeyText(node.key) + " has children and a payload or text; a container's payload is its "
                                        "children, so its payload and text must be NULL";
            return false;
        }
        if (node.childBegin == node.childEnd && !node.hasPayload && node.dataType != DT_REC) {
            error = KeyText(node.key) + " has neither payload nor text";
            return false;
        }
        for (std::uint32_t at = node.childBegin; at < node.childEnd; ++at)
            pending.push_back(m_order[at]);
    }
    if (count == m_nodes.size())
        return true;
    // Name the smallest key in the circle, so the message is the same
    // whatever order the database gave the rows in.
    std::int64_t lost = std::numeric_limits<std::int64_t>::max();
    for (std::size_t i = 0; i < m_nodes.size(); ++i) {
        if (!reached[i])
            lost = std::min(lost, m_nodes[i].key);
    }
    error = KeyText(lost) + " is not below the top level: its parent_key values lead round in a circle";
    return false;
}

void Rows::Build(CMobDocument& doc, std::string_view source, const std::optional<Bytes>& trailing) const
{
    CChunkTree& tree = doc.Tree();
    const NodeId fileNode = tree.InsertItem(CMobDocument::FileNodeText(source), IMG_FILE, kNoNode);
    tree.SetItemData(fileNode, static_cast<std::int32_t>(tree.GetCount()));
    doc.Chunks().SetAt(static_cast<std::int32_t>(tree.GetCount()), CMobChunk(source));
    if (trailing)
        doc.SetTrailingBytes(fileNode, std::vector<std::uint8_t>(trailing->begin(), trailing->end()));

    // Depth-first with a stack of its own: a chain of a million nested
    // containers must not exhaust the call stack.
    struct Frame {
        NodeId treeNode;
        std::uint32_t next;
        std::uint32_t end;
        NodeId lastChild;
    };
    std::vector<Frame> stack{{fileNode, m_rootsBegin, static_cast<std::uint32_t>(m_order.size()), kNoNode}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.end) {
            stack.pop_back();
            continue;
        }
        const Node& node = m_nodes[m_order[frame.next++]];
        const bool isList = node.childBegin != node.childEnd;
        const NodeId treeNode =
            tree.InsertItem(CChunkTree::LabelId{0}, isList || node.dataType == DT_REC ? IMG_CONTAINER : IMG_CHUNK,
                            frame.treeNode, frame.lastChild);
        frame.lastChild = treeNode;
        const auto key = static_cast<std::int32_t>(tree.GetCount());
        tree.SetItemData(treeNode, key);
        CPayload data;
        if (!isList && node.size != 0)
            data = CPayload::Copy(m_arena.data() + node.bytesAt, node.size);
        doc.Chunks().SetAt(key, CMobChunk(isList ? 0 : node.size, node.id, node.dataType, std::move(data), 0));
        if (!node.trailing.empty())
            doc.SetTrailingBytes(treeNode, node.trailing);
        if (isList)
            stack.push_back({treeNode, node.childBegin, node.childEnd, kNoNode});
    }
}

} // namespace

bool CDbPacker::Pack(IChunkStore& store, std::int64_t fileId, const std::string& path)
{
    m_strError.clear();
    Rows rows;
    std::string source;
    std::optional<std::vector<std::uint8_t>> fileTrailing;
    const bool read = store.ReadFile(
        fileId,
        [&](const FileRow& file) {
            source.assign(file.source);
            if (file.trailing)
                fileTrailing.emplace(file.trailing->begin(), file.trailing->end());
        },
        [&](const ChunkRow& row) { return rows.Take(row, m_strError); });
    if (!read) {
        if (m_strError.empty())
            m_strError = store.Error();
        return false;
    }
    if (!rows.Link(m_strError))
        return false;
    CMobDocument doc;
    std::optional<Bytes> trailing;
    if (fileTrailing)
        trailing = Bytes(*fileTrailing);
    rows.Build(doc, source, trailing);
    if (!doc.SaveMobFile(path)) {
        m_strError = doc.GetIoError();
        return false;
    }
    return true;
}

} // namespace qm::db
