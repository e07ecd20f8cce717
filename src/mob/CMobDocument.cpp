#include "mob/CMobDocument.h"

#include "desc/IdKey.h"
#include "mob/CByteOutput.h"
#include "mob/CMemMapFile.h"
#include "mob/Utf8.h"
#include "platform/CFileReplacer.h"
#include "platform/FileSystem.h"
#include "platform/LittleEndian.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unordered_map>

namespace qm {

namespace {

constexpr std::uint32_t kHeaderSize = 8;
// How many chunks go by between two progress reports.
constexpr std::uint32_t kProgressInterval = 1u << 16;
// How far the walk of a mapped file goes before the pages behind it are let
// go, so that a load never holds the whole file and all its copies at once.
constexpr std::uint32_t kReleaseInterval = 8u << 20;
// Saving hands the file its bytes in pieces of this size.
constexpr std::size_t kSavePiece = 4u << 20;

} // namespace

CMobDocument::CMobDocument() = default;
CMobDocument::~CMobDocument() = default;

std::string CMobDocument::FileNodeText(std::string_view path)
{
    constexpr std::size_t kHead = 8;
    constexpr std::size_t kTail = 30;
    constexpr std::size_t kLongest = 39;
    // Where each character starts; the cut falls only on these.
    std::vector<std::size_t> starts;
    for (std::size_t pos = 0; pos < path.size(); pos += Utf8CharLength(path, pos))
        starts.push_back(pos);
    if (starts.size() <= kLongest)
        return std::string(path);
    std::string text(path.substr(0, starts[kHead]));
    text += "...";
    text += path.substr(starts[starts.size() - kTail]);
    return text;
}

void CMobDocument::ReportProgress(std::uint64_t done, std::uint64_t total) const
{
    if (m_progress)
        m_progress(done, total);
}

bool CMobDocument::LoadMobFile(const std::string& path)
{
    m_strIoError.clear();
    CMemMapFile map;
    // Not blocking on open keeps a FIFO or a device from hanging the load;
    // such files are refused below as not regular.
    map.m_hFile = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (map.m_hFile < 0) {
        m_strIoError = platform::FileErrorText(path, errno);
        return false;
    }
    struct stat st {};
    if (::fstat(map.m_hFile, &st) != 0) {
        m_strIoError = platform::FileErrorText(path, errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        m_strIoError = path + ": not a regular file";
        return false;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size == 0) {
        m_strIoError = path + ": the file is empty";
        return false;
    }
    if (size > kLargestFile) {
        m_strIoError = path + ": the file is too large (" + std::to_string(size) +
                       " bytes; a MOB file holds at most " + std::to_string(kLargestFile) + ")";
        return false;
    }
    map.m_nDataSize = static_cast<std::uint32_t>(size);
    if (!map.MapFile(0)) {
        m_strIoError = path + ": " + map.GetError();
        return false;
    }
    const std::uint8_t* view = map.Lock(m_lockWait);
    if (!view) {
        m_strIoError = path + ": " + map.GetError();
        return false;
    }

    const NodeId fileNode = AddFileNode(path, view, map.m_nDataSize, &map);

    map.Unlock();
    const bool lost = map.DataWasLost();
    map.Close();
    // What the load left half used of its memory goes back until needed.
    m_arena.ReleaseUnused();
    m_tree.ReleaseUnused();
    m_mapChunks.ReleaseUnused();
    if (lost) {
        // Zeros stood in for bytes that vanished; showing them would pass
        // them off as the file's contents.
        RemoveLastFile(fileNode);
        m_strIoError = path + ": the file was cut short by another program while it was being read";
        return false;
    }
    return true;
}

bool CMobDocument::LoadMobBytes(const std::string& path, std::span<const std::uint8_t> bytes)
{
    m_strIoError.clear();
    if (bytes.empty()) {
        m_strIoError = path + ": the file is empty";
        return false;
    }
    if (bytes.size() > kLargestFile) {
        m_strIoError = path + ": the file is too large (" + std::to_string(bytes.size()) +
                       " bytes; a MOB file holds at most " + std::to_string(kLargestFile) + ")";
        return false;
    }
    AddFileNode(path, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return true;
}

NodeId CMobDocument::AddFileNode(const std::string& path, const std::uint8_t* data, std::uint32_t size,
                                 CMemMapFile* map)
{
    // A node's key is its handle: unique, and never handed out again
    // before everything is unloaded.
    const NodeId fileNode = m_tree.InsertItem(FileNodeText(path), IMG_FILE, kNoNode);
    const auto key = static_cast<std::int32_t>(fileNode);
    m_tree.SetItemData(fileNode, key);
    m_mapChunks.SetAt(key, CMobChunk(path));
    m_nFileOffset = 0;
    // The payloads never take more than the file: one block holds them all.
    m_arena.Reserve(size);
    ParseChunks(fileNode, data, size, map);
    m_files.insert_or_assign(fileNode, FileState{size, false});
    return fileNode;
}

void CMobDocument::RemoveLastFile(NodeId fileNode)
{
    m_mapChunks.RemoveFrom(m_tree.GetItemData(fileNode));
    m_tree.DeleteLastRoot();
    std::erase_if(m_trailing, [fileNode](const auto& entry) { return entry.first >= fileNode; });
    std::erase_if(m_cutShort, [fileNode](const auto& entry) { return entry.first >= fileNode; });
    m_files.erase(fileNode);
}

bool CMobDocument::ParseChunks(NodeId parent, const std::uint8_t* start, std::uint32_t length)
{
    return ParseChunks(parent, start, length, nullptr);
}

bool CMobDocument::ParseChunks(NodeId parent, const std::uint8_t* start, std::uint32_t length, CMemMapFile* map)
{
    if (!start)
        return false;

    // Descriptions are looked up once per chunk type id, not once per chunk:
    // a small direct-mapped cache answers almost every chunk, the map the rest.
    struct TypeInfo {
        std::uint32_t id = 0;
        CChunkTree::LabelId label = 0;
        std::int32_t dataType = -1;
    };
    std::unordered_map<std::uint32_t, TypeInfo> types;
    std::array<TypeInfo, 256> recent{};
    auto typeOf = [&](std::uint32_t id) -> const TypeInfo& {
        TypeInfo& cached = recent[(id ^ (id >> 8) ^ (id >> 16)) & 0xFF];
        if (cached.dataType >= 0 && cached.id == id)
            return cached;
        auto it = types.find(id);
        if (it == types.end()) {
            const CFieldDesc* entry = LookupDesc(IdKey(id));
            const TypeInfo info{id, entry ? m_tree.InternLabel(entry->m_strName) : 0,
                                entry ? TypeCodeFromName(entry->m_strType) : DT_NULL};
            it = types.emplace(id, info).first;
        }
        cached = it->second;
        return cached;
    };

    // An explicit stack instead of recursion: nesting depth is bounded only
    // by the file's size. Positions are offsets from start.
    struct Frame {
        NodeId parent;
        std::uint32_t end;
        std::uint32_t pos;
        NodeId lastChild;
    };
    std::vector<Frame> stack{{parent, length, 0, kNoNode}};
    std::uint32_t untilProgress = kProgressInterval;
    std::uint64_t releaseAt = kReleaseInterval;

    while (!stack.empty()) {
        Frame& frame = stack.back();
        // The walk never goes back: every read from here on is at or after
        // this header.
        if (map && frame.pos >= releaseAt) {
            map->ReleaseBefore(frame.pos);
            releaseAt = std::uint64_t{frame.pos} + kReleaseInterval;
        }
        const std::uint8_t* header = start + frame.pos;
        // A size below 8 cannot hold its own header: the list ends there,
        // and the bytes from there on are kept like any other bytes that
        // hold no chunk.
        if (frame.end - frame.pos < kHeaderSize || le::ReadU32(header + 4) < kHeaderSize) {
            KeepTrailingBytes(frame.parent, header, frame.end - frame.pos);
            stack.pop_back();
            continue;
        }
        const std::uint32_t id = le::ReadU32(header);
        const std::uint32_t size = le::ReadU32(header + 4);
        // A chunk that claims more bytes than its list has left keeps the
        // bytes that are there and is the last chunk of the list.
        const std::uint32_t payloadPos = frame.pos + kHeaderSize;
        const std::uint32_t room = frame.end - payloadPos;
        const std::uint32_t n = std::min(size - kHeaderSize, room);
        const bool cut = size - kHeaderSize > room;
        frame.pos = cut ? frame.end : frame.pos + size;
        const NodeId parentNode = frame.parent;

        const TypeInfo& type = typeOf(id);
        const NodeId node = m_tree.InsertItem(type.label, IMG_CHUNK, parentNode, frame.lastChild);
        frame.lastChild = node;
        const auto key = static_cast<std::int32_t>(node);
        m_tree.SetItemData(node, key);
        if (cut)
            m_cutShort.insert_or_assign(node, size);

        // A container's bytes are rebuilt from its children when it is
        // saved, so only a container without children keeps a copy; copying
        // every level would cost memory in proportion to the nesting depth.
        const bool isContainer = type.dataType == DT_REC;
        const bool hasChildren = isContainer && n >= kHeaderSize &&
                                 le::ReadU32(start + payloadPos + 4) >= kHeaderSize;
        CPayload data;
        if (n != 0 && !hasChildren) {
            std::uint8_t* copy = m_arena.Allocate(n);
            std::memcpy(copy, start + payloadPos, n);
            data = CPayload::Borrow(copy);
        }
        m_mapChunks.SetAt(key, CMobChunk(n, id, type.dataType, std::move(data), m_nFileOffset));

        if (isContainer) {
            m_nFileOffset += kHeaderSize;
            m_tree.SetItemImage(node, IMG_CONTAINER);
            if (hasChildren)
                stack.push_back({node, payloadPos + n, payloadPos, kNoNode});
        } else {
            m_nFileOffset += n + kHeaderSize;
        }

        if (--untilProgress == 0) {
            untilProgress = kProgressInterval;
            ReportProgress(payloadPos, length);
        }
    }
    return true;
}

bool CMobDocument::SaveMobFile(const std::string& path)
{
    return SaveFile(m_tree.GetRootItem(), path);
}

bool CMobDocument::SaveFile(NodeId fileNode, const std::string& path)
{
    m_strIoError.clear();
    m_strIoNotice.clear();
    if (fileNode != kNoNode && (!m_tree.IsAttached(fileNode) || m_tree.GetParentItem(fileNode) != kNoNode)) {
        m_strIoError = "There is no such file loaded.";
        return false;
    }
    const NodeId first = fileNode == kNoNode ? kNoNode : m_tree.GetChildItem(fileNode);
    std::vector<std::uint32_t> sizes;
    std::uint64_t total = 0;
    if (!MeasureChunks(first, fileNode, sizes, total))
        return false;
    if (total == 0) {
        m_strIoError = "The file would be empty, and an empty file cannot be loaded again.";
        return false;
    }
    if (total > kLargestFile) {
        m_strIoError = "The file would be " + std::to_string(total) + " bytes, more than a MOB file can hold (" +
                       std::to_string(kLargestFile) + ").";
        return false;
    }
    platform::CFileReplacer file;
    if (!file.Begin(path)) {
        m_strIoError = file.GetError();
        return false;
    }
    // The bytes go to the file in pieces as they are gathered, never as a
    // second copy of the whole file.
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(total, kSavePiece));
    CByteOutput out(piece, [&file](const std::uint8_t* data, std::size_t size) { return file.Write(data, size); });
    EmitChunks(first, fileNode, sizes, out, total);
    if (!out.Finish() || !file.Commit()) {
        m_strIoError = file.GetError();
        return false;
    }
    m_strIoNotice = file.GetNotice();
    return true;
}

bool CMobDocument::AppendList(NodeId first, NodeId listNode, std::vector<std::uint8_t>& buffer)
{
    std::vector<std::uint32_t> sizes;
    std::uint64_t total = 0;
    if (!MeasureChunks(first, listNode, sizes, total))
        return false;
    const std::size_t base = buffer.size();
    buffer.resize(base + total);
    CByteOutput out(buffer.data() + base, total);
    EmitChunks(first, listNode, sizes, out, total);
    return true;
}

bool CMobDocument::WriteChunks(NodeId first, std::vector<std::uint8_t>& buffer)
{
    return AppendList(first, kNoNode, buffer);
}

bool CMobDocument::WriteChunkList(NodeId listNode, std::vector<std::uint8_t>& buffer)
{
    if (!m_tree.IsValid(listNode))
        return false;
    return AppendList(m_tree.GetChildItem(listNode), listNode, buffer);
}

bool CMobDocument::GetSavedPayload(NodeId node, std::vector<std::uint8_t>& built, std::span<const std::uint8_t>& view)
{
    view = {};
    if (!m_tree.IsValid(node)) {
        m_strIoError = "There is no such chunk.";
        return false;
    }
    // A file is its list, even one without chunks.
    if (m_tree.ItemHasChildren(node) || m_tree.GetParentItem(node) == kNoNode)
        return WriteChunkList(node, built);
    const CMobChunk* rec = m_mapChunks.Lookup(m_tree.GetItemData(node));
    if (rec && rec->m_nSize != 0 && !rec->m_pData) {
        m_strIoError = "The chunk with node key " + std::to_string(m_tree.GetItemData(node)) + " has " +
                       std::to_string(rec->m_nSize) + " payload bytes that could not be read when it was loaded.";
        return false;
    }
    if (rec && rec->m_pData)
        view = std::span<const std::uint8_t>(rec->m_pData.get(), rec->m_nSize);
    return true;
}

bool CMobDocument::WriteChunk(NodeId node, std::vector<std::uint8_t>& buffer)
{
    m_strIoError.clear();
    if (!m_tree.IsValid(node)) {
        m_strIoError = "There is no such chunk.";
        return false;
    }
    if (m_tree.GetParentItem(node) == kNoNode)
        return WriteChunkList(node, buffer);
    const CMobChunk* rec = m_mapChunks.Lookup(m_tree.GetItemData(node));
    const std::size_t start = buffer.size();
    buffer.resize(start + kHeaderSize);
    std::span<const std::uint8_t> view;
    if (!rec || !GetSavedPayload(node, buffer, view)) {
        if (!rec)
            m_strIoError = "The chunk with node key " + std::to_string(m_tree.GetItemData(node)) + " has no record.";
        buffer.resize(start);
        return false;
    }
    buffer.insert(buffer.end(), view.begin(), view.end());
    const std::size_t size = buffer.size() - start;
    if (size > 0xFFFFFFFFu) {
        m_strIoError = "The chunk would be larger than a chunk can be (4 GiB).";
        buffer.resize(start);
        return false;
    }
    le::WriteU32(buffer.data() + start, rec->m_nId);
    le::WriteU32(buffer.data() + start + 4, static_cast<std::uint32_t>(size));
    return true;
}

std::span<const std::uint8_t> CMobDocument::GetTrailingBytes(NodeId listNode) const
{
    const auto it = m_trailing.find(listNode);
    if (it == m_trailing.end())
        return {};
    return it->second;
}

void CMobDocument::SetTrailingBytes(NodeId listNode, std::vector<std::uint8_t> bytes)
{
    if (bytes.empty())
        m_trailing.erase(listNode);
    else
        m_trailing.insert_or_assign(listNode, std::move(bytes));
}

std::vector<NodeId> CMobDocument::NodesWithTrailingBytes() const
{
    std::vector<NodeId> nodes;
    nodes.reserve(m_trailing.size());
    for (const auto& entry : m_trailing) {
        if (m_tree.IsAttached(entry.first))
            nodes.push_back(entry.first);
    }
    std::sort(nodes.begin(), nodes.end());
    return nodes;
}

std::vector<CMobDocument::CutChunk> CMobDocument::ChunksCutShort() const
{
    std::vector<CutChunk> chunks;
    chunks.reserve(m_cutShort.size());
    for (const auto& [node, sizeField] : m_cutShort)
        chunks.push_back({node, sizeField});
    std::sort(chunks.begin(), chunks.end(), [](const CutChunk& a, const CutChunk& b) { return a.node < b.node; });
    return chunks;
}

bool CMobDocument::CheckChunkList(std::span<const std::uint8_t> bytes, std::string& error) const
{
    error.clear();
    if (bytes.empty()) {
        error = "There are no chunks in the bytes: they are empty.";
        return false;
    }
    if (bytes.size() > kLargestFile) {
        error = "The bytes are more than a MOB file can hold.";
        return false;
    }
    std::unordered_map<std::uint32_t, bool> isContainer;
    auto container = [&](std::uint32_t id) {
        const auto [it, added] = isContainer.try_emplace(id, false);
        if (added) {
            const CFieldDesc* entry = LookupDesc(IdKey(id));
            it->second = entry && TypeCodeFromName(entry->m_strType) == DT_REC;
        }
        return it->second;
    };
    const auto at = [](std::uint64_t pos) { return "The chunk at byte " + std::to_string(pos); };
    const std::uint8_t* const start = bytes.data();

    // The same rules as the walk of a loaded file, except that nothing may
    // run past the end of its list and the outer list holds nothing else.
    struct Range {
        std::uint32_t pos;
        std::uint32_t end;
    };
    std::vector<Range> stack{{0, static_cast<std::uint32_t>(bytes.size())}};
    while (!stack.empty()) {
        Range& range = stack.back();
        const bool outer = stack.size() == 1;
        const std::uint32_t left = range.end - range.pos;
        if (left == 0) {
            stack.pop_back();
            continue;
        }
        if (left < kHeaderSize || le::ReadU32(start + range.pos + 4) < kHeaderSize) {
            if (!outer) {
                stack.pop_back();  // bytes a container ends in
                continue;
            }
            error = left < kHeaderSize
                        ? "The last " + std::to_string(left) + " bytes hold no chunk: a chunk takes at least 8."
                        : at(range.pos) + " has the size " + std::to_string(le::ReadU32(start + range.pos + 4)) +
                              ", less than its own 8-byte header.";
            return false;
        }
        const std::uint32_t id = le::ReadU32(start + range.pos);
        const std::uint32_t size = le::ReadU32(start + range.pos + 4);
        if (size > left) {
            error = at(range.pos) + " claims " + std::to_string(size) + " bytes, but its list has only " +
                    std::to_string(left) + " left.";
            return false;
        }
        const std::uint32_t payload = range.pos + kHeaderSize;
        range.pos += size;
        if (container(id) && size - kHeaderSize >= kHeaderSize && le::ReadU32(start + payload + 4) >= kHeaderSize)
            stack.push_back({payload, payload + size - kHeaderSize});
    }
    return true;
}

NodeId CMobDocument::ParseDetached(std::span<const std::uint8_t> bytes)
{
    const NodeId holder = m_tree.InsertDetached();
    const auto key = static_cast<std::int32_t>(holder);
    m_tree.SetItemData(holder, key);
    m_mapChunks.SetAt(key, CMobChunk());
    // The offsets counted here are the list's own; the file's are counted
    // again once the chunks are in it.
    m_nFileOffset = 0;
    ParseChunks(holder, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    return holder;
}

void CMobDocument::GrowList(NodeId list, std::int64_t delta)
{
    for (NodeId node = list; node != kNoNode; node = m_tree.GetParentItem(node)) {
        if (m_tree.GetParentItem(node) == kNoNode) {
            if (const auto file = m_files.find(node); file != m_files.end()) {
                file->second.bytes = static_cast<std::uint64_t>(static_cast<std::int64_t>(file->second.bytes) + delta);
                file->second.offsetsStale = true;
            }
            return;
        }
        if (CMobChunk* rec = m_mapChunks.Lookup(m_tree.GetItemData(node)))
            rec->m_nSize = static_cast<std::uint32_t>(static_cast<std::int64_t>(rec->m_nSize) + delta);
    }
}

void CMobDocument::MoveChunks(NodeId first, NodeId last, NodeId prev, NodeId toParent, NodeId toPrev)
{
    const NodeId fromParent = m_tree.GetParentItem(first);
    // A chunk's size counts everything it saves: children and the bytes after them.
    std::int64_t bytes = 0;
    for (NodeId node = first;; node = m_tree.GetNextSiblingItem(node)) {
        if (const CMobChunk* rec = m_mapChunks.Lookup(m_tree.GetItemData(node)))
            bytes += kHeaderSize + std::int64_t{rec->m_nSize};
        if (node == last)
            break;
    }
    // A chunk's payload is its children and the bytes after them; without
    // children, the record holds it all. The bytes keep their place.
    CMobChunk* to = toParent == kNoNode || m_tree.GetParentItem(toParent) == kNoNode
                        ? nullptr
                        : m_mapChunks.Lookup(m_tree.GetItemData(toParent));
    if (to && !m_tree.ItemHasChildren(toParent) && to->m_pData) {
        const std::uint8_t* data = to->m_pData.get();
        SetTrailingBytes(toParent, std::vector<std::uint8_t>(data, data + to->m_nSize));
        to->m_pData.reset();
    }
    m_tree.MoveRun(first, last, prev, toParent, toPrev);
    GrowList(fromParent, -bytes);
    GrowList(toParent, bytes);
    CMobChunk* from = fromParent == kNoNode || m_tree.GetParentItem(fromParent) == kNoNode
                          ? nullptr
                          : m_mapChunks.Lookup(m_tree.GetItemData(fromParent));
    if (from && !m_tree.ItemHasChildren(fromParent)) {
        const std::span<const std::uint8_t> rest = GetTrailingBytes(fromParent);
        from->m_pData = CPayload::Copy(rest.data(), rest.size());
        m_trailing.erase(fromParent);
    }
}

void CMobDocument::ExchangePayload(NodeId node, CPayload& data, std::uint32_t& size)
{
    CMobChunk* rec = m_mapChunks.Lookup(m_tree.GetItemData(node));
    if (!rec)
        return;
    const std::int64_t delta = std::int64_t{size} - rec->m_nSize;
    rec->ExchangePayload(data, size);
    if (delta != 0)
        GrowList(m_tree.GetParentItem(node), delta);
}

std::uint64_t CMobDocument::GetFileBytes(NodeId fileNode) const
{
    const auto file = m_files.find(fileNode);
    return file == m_files.end() ? 0 : file->second.bytes;
}

std::uint32_t CMobDocument::GetChunkOffset(NodeId node)
{
    if (!m_tree.IsValid(node))
        return 0;
    if (const auto file = m_files.find(m_tree.GetTopItem(node)); file != m_files.end() && file->second.offsetsStale) {
        RefreshOffsets(file->first);
        file->second.offsetsStale = false;
    }
    const CMobChunk* rec = m_mapChunks.Lookup(m_tree.GetItemData(node));
    return rec ? rec->m_nOffset : 0;
}

// Where saving puts each header: the walk of EmitChunks, counting instead
// of writing.
void CMobDocument::RefreshOffsets(NodeId fileNode)
{
    std::uint64_t offset = 0;
    NodeId node = m_tree.GetChildItem(fileNode);
    while (node != kNoNode) {
        CMobChunk* rec = m_mapChunks.Lookup(m_tree.GetItemData(node));
        if (rec)
            rec->m_nOffset = static_cast<std::uint32_t>(offset);
        offset += kHeaderSize;
        if (const NodeId child = m_tree.GetChildItem(node); child != kNoNode) {
            node = child;
            continue;
        }
        offset += rec ? rec->m_nSize : 0;
        for (;;) {
            offset += TrailingCount(node);
            if (const NodeId next = m_tree.GetNextSiblingItem(node); next != kNoNode) {
                node = next;
                break;
            }
            node = m_tree.GetParentItem(node);
            if (node == fileNode) {
                node = kNoNode;
                break;
            }
        }
    }
}

void CMobDocument::KeepTrailingBytes(NodeId listNode, const std::uint8_t* bytes, std::uint32_t count)
{
    if (count != 0)
        m_trailing.insert_or_assign(listNode, std::vector<std::uint8_t>(bytes, bytes + count));
}

std::uint32_t CMobDocument::TrailingCount(NodeId node) const
{
    // Well-formed files have none: one test of an empty table per node.
    if (m_trailing.empty())
        return 0;
    const auto it = m_trailing.find(node);
    return it == m_trailing.end() ? 0 : static_cast<std::uint32_t>(it->second.size());
}

bool CMobDocument::MeasureChunks(NodeId first, NodeId listNode, std::vector<std::uint32_t>& sizes,
                                 std::uint64_t& total)
{
    total = TrailingCount(listNode);
    if (!m_tree.IsValid(first))
        return true;
    const NodeId boundary = m_tree.GetParentItem(first);
    sizes.assign(m_tree.GetCount() + 1, 0);
    auto fail = [this](std::int32_t key, const std::string& what) {
        m_strIoError = "The chunk with node key " + std::to_string(key) + " " + what;
        return false;
    };
    auto tooLarge = [&](NodeId node) {
        return fail(m_tree.GetItemData(node), "would be larger than a chunk can be (4 GiB).");
    };

    // Sizes bottom-up, walking with parent links rather than recursion: a
    // node's size is final when the walk climbs past it, and is then added
    // into its container.
    NodeId node = first;
    while (node != kNoNode) {
        const std::int32_t key = m_tree.GetItemData(node);
        const CMobChunk* rec = m_mapChunks.Lookup(key);
        if (!rec)
            return fail(key, "has no record.");
        if (const NodeId child = m_tree.GetChildItem(node); child != kNoNode) {
            sizes[node] = kHeaderSize;
            node = child;
            continue;
        }
        if (rec->m_nSize != 0 && !rec->m_pData)
            return fail(key, "has " + std::to_string(rec->m_nSize) +
                                 " payload bytes that could not be read when it was loaded.");
        if (rec->m_nSize > 0xFFFFFFFFu - kHeaderSize)
            return tooLarge(node);
        sizes[node] = kHeaderSize + rec->m_nSize;

        for (;;) {
            // All that is left of the node is the bytes behind its last child.
            const std::uint64_t whole = std::uint64_t{sizes[node]} + TrailingCount(node);
            if (whole > 0xFFFFFFFFu)
                return tooLarge(node);
            sizes[node] = static_cast<std::uint32_t>(whole);
            const NodeId parent = m_tree.GetParentItem(node);
            if (parent == boundary) {
                total += sizes[node];
            } else {
                const std::uint64_t grown = std::uint64_t{sizes[parent]} + sizes[node];
                if (grown > 0xFFFFFFFFu)
                    return tooLarge(parent);
                sizes[parent] = static_cast<std::uint32_t>(grown);
            }
            if (const NodeId next = m_tree.GetNextSiblingItem(node); next != kNoNode) {
                node = next;
                break;
            }
            if (parent == boundary) {
                node = kNoNode;
                break;
            }
            node = parent;
        }
    }
    return true;
}

void CMobDocument::EmitTrailingBytes(NodeId node, CByteOutput& out) const
{
    if (m_trailing.empty())
        return;
    const auto it = m_trailing.find(node);
    if (it != m_trailing.end())
        out.Put(it->second.data(), it->second.size());
}

void CMobDocument::EmitChunks(NodeId first, NodeId listNode, const std::vector<std::uint32_t>& sizes,
                              CByteOutput& out, std::uint64_t total) const
{
    const std::uint64_t start = out.Done();
    const bool any = m_tree.IsValid(first);
    const NodeId boundary = any ? m_tree.GetParentItem(first) : kNoNode;
    std::uint32_t untilProgress = kProgressInterval;
    NodeId node = any ? first : kNoNode;
    while (node != kNoNode) {
        const CMobChunk& rec = *m_mapChunks.Lookup(m_tree.GetItemData(node));
        std::uint8_t header[kHeaderSize];
        le::WriteU32(header, rec.m_nId);
        le::WriteU32(header + 4, sizes[node]);
        out.Put(header, kHeaderSize);
        if (--untilProgress == 0) {
            untilProgress = kProgressInterval;
            ReportProgress(out.Done() - start, total);
        }
        if (const NodeId child = m_tree.GetChildItem(node); child != kNoNode) {
            node = child;
            continue;
        }
        if (rec.m_nSize != 0)
            out.Put(rec.m_pData.get(), rec.m_nSize);
        // Climb out of every list this node ends, each list followed by its
        // trailing bytes.
        for (;;) {
            EmitTrailingBytes(node, out);
            if (const NodeId next = m_tree.GetNextSiblingItem(node); next != kNoNode) {
                node = next;
                break;
            }
            const NodeId parent = m_tree.GetParentItem(node);
            node = parent == boundary ? kNoNode : parent;
            if (node == kNoNode)
                break;
        }
    }
    if (listNode != kNoNode)
        EmitTrailingBytes(listNode, out);
}

void CMobDocument::UnloadAll()
{
    m_mapChunks.RemoveAll();
    m_tree.DeleteAllItems();
    m_trailing.clear();
    m_cutShort.clear();
    m_files.clear();
    m_arena.Clear();
}

} // namespace qm
