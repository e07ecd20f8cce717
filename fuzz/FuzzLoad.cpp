// Arbitrary bytes as a MOB file. Several ids are containers, so the bytes
// nest; others name leaves. Whatever the bytes, loading must give a tree in
// which every node has its record under a key that follows the pre-order,
// and saving must give bytes, never none, that load to the same tree with
// the same trailing bytes and save again to the same bytes.
//
// Most inputs are walked from memory; those whose last byte ends in 0xF
// (and the empty input) go through the file loader and the file saver, and
// are pasted into the file they loaded as when they form a list of chunks.

#include "FuzzCheck.h"
#include "tools/TempDir.h"

#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "mob/CMobDocument.h"
#include "platform/LittleEndian.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm::fuzz {
namespace {

// Id 0 and 0xFFFFFFFF are containers so that runs of zero or 0xFF bytes
// nest; the 0x0001000x ids are those of the generated seed files.
constexpr std::string_view kDescription =
    "0x00000000\tREC\tZERO\r\n"
    "0x00000001\tREC\tONE\r\n"
    "0xFFFFFFFF\tREC\tALL\r\n"
    "0x00010000\tREC\tGROUP\r\n"
    "0x00010001\trec\tLIST\r\n"
    "0x00010002\tREC\tENTRY\tcontainer\r\n"
    "0x00020001\tBYTE\tFLAG\r\n"
    "0x00020005\tSTRING\tNAME\r\n"
    "0x00000002\tDWORD\tTWO\r\n";

struct Folder {
    tools::TempDir temp;
    std::string input = temp.File("input.mob");
    std::string saved = temp.File("saved.mob");
};

Folder& TheFolder()
{
    static Folder folder;
    return folder;
}

CMobDocument& TheDocument()
{
    static CMobDocument doc;
    static const bool ready = [] {
        const std::string path = TheFolder().temp.File("mob_desc.txt");
        tools::WriteFileBytes(path, kDescription.data(), kDescription.size());
        doc.SetDescFile(path);
        return doc.ReadDescFile();
    }();
    Check(ready, "the description table reads");
    return doc;
}

// What a node is, as far as a save and a load keep it: containers with
// children are rebuilt, so only a leaf's payload and size are compared.
struct NodeShape {
    std::int32_t parentKey = 0;
    std::uint32_t id = 0;
    std::int32_t dataType = 0;
    int image = 0;
    std::string label;
    std::uint32_t offset = 0;
    std::uint32_t leafSize = 0;
    std::string leafPayload;
    std::string trailing;

    bool operator==(const NodeShape&) const = default;
};

NodeShape ShapeOf(const CMobDocument& doc, NodeId node, const CMobChunk& rec)
{
    const NodeId parent = doc.Tree().GetParentItem(node);
    NodeShape shape;
    shape.parentKey = parent == kNoNode ? 0 : doc.Tree().GetItemData(parent);
    shape.id = rec.m_nId;
    shape.dataType = rec.m_nDataType;
    shape.image = doc.Tree().GetItemImage(node);
    shape.label = doc.Tree().GetItemText(node);
    shape.offset = rec.m_nOffset;
    const auto trailing = doc.GetTrailingBytes(node);
    shape.trailing.assign(trailing.begin(), trailing.end());
    if (!doc.Tree().ItemHasChildren(node)) {
        shape.leafSize = rec.m_nSize;
        if (rec.m_pData)
            shape.leafPayload.assign(reinterpret_cast<const char*>(rec.m_pData.get()), rec.m_nSize);
    }
    return shape;
}

void CheckFileNode(const CMobDocument& doc, NodeId node, const CMobChunk& rec)
{
    Check(doc.Tree().GetParentItem(node) == kNoNode, "the file node is a top-level node");
    Check(doc.Tree().GetItemImage(node) == IMG_FILE, "the file node has the file image");
    Check(rec.m_nId == 0 && rec.m_nSize == 0 && rec.m_nDataType == 0 && rec.m_nOffset == 0 && !rec.m_pData,
          "the file node's record is all zero");
}

// A chunk is named and typed from its own id's description alone, and only
// containers have children.
void CheckChunkNode(const CMobDocument& doc, NodeId node, const CMobChunk& rec, std::uint32_t expectedOffset)
{
    const CFieldDesc* entry = doc.LookupDesc(IdKey(rec.m_nId));
    const std::int32_t type = entry ? CDescTable::TypeCodeFromName(entry->m_strType) : DT_NULL;
    Check(rec.m_nDataType == type, "a chunk's data type comes from its id's description");
    Check(doc.Tree().GetItemText(node) == (entry ? std::string_view(entry->m_strName) : std::string_view()),
          "a chunk's label is its id's name");
    Check(doc.Tree().GetItemImage(node) == (type == DT_REC ? IMG_CONTAINER : IMG_CHUNK),
          "containers and other chunks have their images");
    Check(type == DT_REC || !doc.Tree().ItemHasChildren(node), "only a container has children");
    Check(doc.Tree().ItemHasChildren(node) || (rec.m_nSize == 0) == !rec.m_pData,
          "a leaf holds all its payload bytes");
    Check(rec.m_nOffset == expectedOffset, "a chunk's offset counts 8 for each container and the whole of each leaf");
}

// Walks the tree in pre-order, checking every node, and returns its shape.
std::vector<NodeShape> CheckTree(const CMobDocument& doc)
{
    const CChunkTree& tree = doc.Tree();
    Check(doc.Chunks().GetCount() == tree.GetCount(), "there is one record for every node");
    std::vector<NodeShape> shapes;
    std::uint32_t offset = 0;
    std::vector<NodeId> pending;
    if (tree.GetRootItem() != kNoNode)
        pending.push_back(tree.GetRootItem());
    while (!pending.empty()) {
        const NodeId node = pending.back();
        pending.pop_back();
        const std::int32_t key = tree.GetItemData(node);
        Check(key == static_cast<std::int32_t>(shapes.size() + 1), "node keys follow the pre-order from 1");
        const CMobChunk* rec = doc.Chunks().Lookup(key);
        Check(rec != nullptr, "every node has a record");
        NodeShape shape = ShapeOf(doc, node, *rec);
        if (shapes.empty()) {
            CheckFileNode(doc, node, *rec);
            shape.label.clear();  // the path, which is no part of the tree's shape
        } else {
            CheckChunkNode(doc, node, *rec, offset);
            offset += rec->m_nDataType == DT_REC ? 8 : rec->m_nSize + 8;
        }
        shapes.push_back(std::move(shape));
        // Children before later siblings; a second file node is left out
        // and caught by the count below.
        if (const NodeId next = tree.GetNextSiblingItem(node); next != kNoNode && tree.GetParentItem(node) != kNoNode)
            pending.push_back(next);
        if (const NodeId child = tree.GetChildItem(node); child != kNoNode)
            pending.push_back(child);
    }
    Check(shapes.size() == tree.GetCount(), "every node hangs below the one file node");
    return shapes;
}

bool IsAncestor(const CChunkTree& tree, NodeId ancestor, NodeId node)
{
    for (; node != kNoNode; node = tree.GetParentItem(node)) {
        if (node == ancestor)
            return true;
    }
    return false;
}

// In bytes that a save wrote, every container is filled by its children and
// its trailing bytes, so a chunk's offset is where its header stands, up to
// the first container that kept a payload of its own instead of children
// (such a container counts 8 bytes), or the first chunk behind a container's
// trailing bytes (which the offsets do not count). Each chunk up to there
// must hold its header's id, and each leaf the size and the payload bytes
// behind its header.
void CheckAgainstSavedBytes(const CMobDocument& doc, const std::vector<std::uint8_t>& saved)
{
    const CChunkTree& tree = doc.Tree();
    NodeId lastWithTrailing = kNoNode;
    for (NodeId node = 2; node <= tree.GetCount(); ++node) {
        if (lastWithTrailing != kNoNode && !IsAncestor(tree, lastWithTrailing, node))
            return;
        if (!doc.GetTrailingBytes(node).empty())
            lastWithTrailing = node;
        const CMobChunk& rec = *doc.Chunks().Lookup(tree.GetItemData(node));
        Check(std::uint64_t{rec.m_nOffset} + 8 <= saved.size(), "a chunk's header lies inside the file");
        const std::uint8_t* header = saved.data() + rec.m_nOffset;
        Check(le::ReadU32(header) == rec.m_nId, "a chunk's id is the one in its header");
        if (tree.ItemHasChildren(node))
            continue;
        Check(le::ReadU32(header + 4) == rec.m_nSize + 8, "a leaf's size is the one in its header");
        Check(rec.m_nSize == 0 || std::equal(header + 8, header + 8 + rec.m_nSize, rec.m_pData.get()),
              "a leaf's payload is the bytes behind its header");
        if (rec.m_nDataType == DT_REC && rec.m_nSize != 0)
            return;
    }
}

std::vector<std::uint8_t> Save(CMobDocument& doc)
{
    std::vector<std::uint8_t> bytes;
    Check(doc.WriteChunkList(doc.Tree().GetRootItem(), bytes), "a loaded tree can always be saved");
    return bytes;
}

void ParseFromMemory(CMobDocument& doc, const std::uint8_t* data, std::size_t size)
{
    static const std::uint8_t kNothing = 0;
    const NodeId file = doc.Tree().InsertItem(std::string_view("memory"), IMG_FILE, kNoNode);
    const auto key = static_cast<std::int32_t>(doc.Tree().GetCount());
    doc.Tree().SetItemData(file, key);
    doc.Chunks().SetAt(key, CMobChunk(std::string_view("memory")));
    doc.m_nFileOffset = 0;
    Check(doc.ParseChunks(file, data ? data : &kNothing, static_cast<std::uint32_t>(size)),
          "a chunk list with a start parses");
}

// Bytes accepted for pasting walk to chunks that save as the very same
// bytes. Put at the front of the file, the file saves as the two together,
// with every chunk's size and offset where the saved bytes have them; taken
// out again, it saves as before.
void CheckPaste(CMobDocument& doc, std::span<const std::uint8_t> bytes, const std::vector<std::uint8_t>& saved)
{
    std::string error;
    if (!doc.CheckChunkList(bytes, error)) {
        Check(!error.empty(), "a refusal says why");
        return;
    }
    const CChunkTree& tree = doc.Tree();
    const NodeId list = doc.ParseDetached(bytes);
    std::vector<std::uint8_t> walked;
    Check(doc.WriteChunkList(list, walked) && std::equal(walked.begin(), walked.end(), bytes.begin(), bytes.end()),
          "bytes accepted for pasting walk to chunks that save as the same bytes");
    const NodeId first = tree.GetChildItem(list);
    NodeId last = first;
    while (tree.GetNextSiblingItem(last) != kNoNode)
        last = tree.GetNextSiblingItem(last);
    const NodeId file = tree.GetRootItem();
    doc.MoveChunks(first, last, kNoNode, file, kNoNode);
    std::vector<std::uint8_t> both(bytes.begin(), bytes.end());
    both.insert(both.end(), saved.begin(), saved.end());
    Check(Save(doc) == both, "the file saves as the pasted chunks and what it held");
    Check(doc.GetFileBytes(file) == both.size(), "the file's length follows");
    for (NodeId node = tree.GetChildItem(file); node != kNoNode; node = tree.NextInPreOrder(node, file)) {
        const CMobChunk& rec = *doc.Chunks().Lookup(tree.GetItemData(node));
        const std::uint32_t offset = doc.GetChunkOffset(node);
        Check(std::uint64_t{offset} + 8 <= both.size() && le::ReadU32(both.data() + offset) == rec.m_nId &&
                  le::ReadU32(both.data() + offset + 4) == rec.m_nSize + 8,
              "after a paste, every chunk's offset and size are where saving puts its header");
    }
    doc.MoveChunks(first, last, kNoNode, list, kNoNode);
    Check(Save(doc) == saved, "taken out again, the file saves as before");
}

bool ThroughFiles(const std::uint8_t* data, std::size_t size)
{
    return size == 0 || (data[size - 1] & 0x0F) == 0x0F;
}

void TestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 0xFFFFFFFEu)
        return;
    CMobDocument& doc = TheDocument();
    const Folder& folder = TheFolder();
    const bool throughFiles = ThroughFiles(data, size);

    if (throughFiles) {
        tools::WriteFileBytes(folder.input, data, size);
        const bool loaded = doc.LoadMobFile(folder.input);
        Check(loaded == (size != 0), "every file but an empty one loads");
        if (!loaded) {
            Check(doc.Tree().GetCount() == 0 && doc.Chunks().GetCount() == 0, "a refused file adds nothing");
            return;
        }
    } else {
        ParseFromMemory(doc, data, size);
    }
    const std::vector<NodeShape> loaded = CheckTree(doc);
    const std::vector<std::uint8_t> saved = Save(doc);
    Check(saved.size() <= size, "saving never adds bytes");
    Check(saved.size() != 0 || size == 0, "saving never drops a whole file");
    if (throughFiles) {
        Check(doc.SaveMobFile(folder.saved), "a loaded file can be saved");
        Check(tools::ReadFileBytes(folder.saved) == saved, "the saved file holds what the tree serialises to");
        CheckPaste(doc, {data, size}, saved);
    }

    doc.UnloadAll();
    Check(doc.Tree().GetCount() == 0 && doc.Chunks().GetCount() == 0, "unloading removes every node and record");
    ParseFromMemory(doc, saved.data(), saved.size());
    const std::vector<NodeShape> reloaded = CheckTree(doc);
    Check(reloaded.size() == loaded.size(), "saved bytes load to as many nodes");
    Check(reloaded == loaded, "saved bytes load to the same tree");
    CheckAgainstSavedBytes(doc, saved);
    Check(Save(doc) == saved, "saving a reloaded tree gives the same bytes");
    doc.UnloadAll();
}

} // namespace
} // namespace qm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    qm::fuzz::TestOneInput(data, size);
    return 0;
}
