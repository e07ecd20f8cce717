#include "mob/CMobDocument.h"

#include "mob/CMemMapFile.h"
#include "platform/FileSystem.h"
#include "platform/LittleEndian.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unordered_map>

namespace qm {

namespace {

constexpr std::uint32_t kHeaderSize = 8;
// The size query reports failure as 0xFFFFFFFF, so files of that size or
// more cannot be told apart from a failure and are refused.
constexpr std::uint64_t kLargestFile = 0xFFFFFFFEull;
// How many chunks go by between two progress reports.
constexpr std::uint32_t kProgressInterval = 1u << 16;

std::string IdKey(std::uint32_t id)
{
    char key[9];
    std::snprintf(key, sizeof key, "%08X", id);
    return key;
}

} // namespace

CMobDocument::CMobDocument() = default;
CMobDocument::~CMobDocument() = default;

std::string CMobDocument::FileNodeText(std::string_view path)
{
    if (path.size() < 40)
        return std::string(path);
    std::string text(path.substr(0, 8));
    text += "...";
    text += path.substr(path.size() - 30);
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
    const std::uint8_t* view = map.Lock();
    if (!view) {
        m_strIoError = path + ": " + map.GetError();
        return false;
    }

    const NodeId fileNode = m_tree.InsertItem(FileNodeText(path), IMG_FILE, kNoNode);
    const auto key = static_cast<std::int32_t>(m_tree.GetCount());
    m_tree.SetItemData(fileNode, key);
    m_mapChunks.SetAt(key, CMobChunk(path));
    m_nFileOffset = 0;
    ParseChunks(fileNode, view, map.m_nDataSize);

    map.Unlock();
    const bool lost = map.DataWasLost();
    map.Close();
    if (lost) {
        // Zeros stood in for bytes that vanished; showing them would pass
        // them off as the file's contents.
        m_tree.DeleteLastRoot();
        m_mapChunks.RemoveFrom(key);
        m_strIoError = path + ": the file was cut short by another program while it was being read";
        return false;
    }
    return true;
}

bool CMobDocument::ParseChunks(NodeId parent, const std::uint8_t* start, std::uint32_t length)
{
    if (!start)
        return false;
    if (length < kHeaderSize)
        return true;

    // Descriptions are looked up once per chunk type id, not once per chunk.
    struct TypeInfo {
        CChunkTree::LabelId label;
        std::int32_t dataType;
    };
    std::unordered_map<std::uint32_t, TypeInfo> types;
    auto typeOf = [&](std::uint32_t id) -> const TypeInfo& {
        auto it = types.find(id);
        if (it == types.end()) {
            const CFieldDesc* entry = LookupDesc(IdKey(id));
            const TypeInfo info{entry ? m_tree.InternLabel(entry->m_strName) : 0,
                                entry ? TypeCodeFromName(entry->m_strType) : DT_NULL};
            it = types.emplace(id, info).first;
        }
        return it->second;
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

    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.end - frame.pos < kHeaderSize) {
            stack.pop_back();
            continue;
        }
        const std::uint8_t* header = start + frame.pos;
        const std::uint32_t id = le::ReadU32(header);
        const std::uint32_t size = le::ReadU32(header + 4);
        // A size below 8 cannot hold its own header: the list ends there,
        // and the bytes from there to the end of the list are left out like
        // any other bytes that hold no chunk.
        if (size < kHeaderSize) {
            stack.pop_back();
            continue;
        }
        // A chunk that claims more bytes than its list has left keeps the
        // bytes that are there and is the last chunk of the list.
        const std::uint32_t payloadPos = frame.pos + kHeaderSize;
        const std::uint32_t room = frame.end - payloadPos;
        const std::uint32_t n = std::min(size - kHeaderSize, room);
        frame.pos = (size - kHeaderSize > room) ? frame.end : frame.pos + size;
        const NodeId parentNode = frame.parent;

        const TypeInfo& type = typeOf(id);
        const NodeId node = m_tree.InsertItem(type.label, IMG_CHUNK, parentNode, frame.lastChild);
        frame.lastChild = node;
        const auto key = static_cast<std::int32_t>(m_tree.GetCount());
        m_tree.SetItemData(node, key);

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
    m_strIoError.clear();
    std::vector<std::uint8_t> buffer;
    const NodeId fileNode = m_tree.GetRootItem();
    if (fileNode != kNoNode) {
        const NodeId first = m_tree.GetChildItem(fileNode);
        if (first != kNoNode && !WriteChunks(first, buffer))
            return false;
    }
    if (!platform::WriteFileAtomically(path, buffer.data(), buffer.size(), m_strIoError))
        return false;
    m_bModified = false;
    return true;
}

bool CMobDocument::WriteChunks(NodeId first, std::vector<std::uint8_t>& buffer)
{
    if (!m_tree.IsValid(first))
        return true;
    const NodeId boundary = m_tree.GetParentItem(first);

    // Pre-order of first, its later siblings and everything below them,
    // walked with parent links rather than recursion.
    std::vector<NodeId> order;
    for (NodeId node = first; node != kNoNode;) {
        order.push_back(node);
        if (const NodeId child = m_tree.GetChildItem(node); child != kNoNode) {
            node = child;
            continue;
        }
        while (node != boundary && m_tree.GetNextSiblingItem(node) == kNoNode)
            node = m_tree.GetParentItem(node);
        node = node == boundary ? kNoNode : m_tree.GetNextSiblingItem(node);
    }

    // Sizes bottom-up: in reverse pre-order every child comes before its
    // parent, so one pass adds each chunk into its container.
    std::vector<std::uint64_t> sizes(m_tree.GetCount() + 1, 0);
    std::uint64_t total = 0;
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        const NodeId node = *it;
        const std::int32_t key = m_tree.GetItemData(node);
        const CMobChunk* rec = m_mapChunks.Lookup(key);
        if (!rec) {
            m_strIoError = "The chunk with node key " + std::to_string(key) + " has no record.";
            return false;
        }
        if (m_tree.ItemHasChildren(node)) {
            sizes[node] += kHeaderSize;
        } else {
            if (rec->m_nSize != 0 && !rec->m_pData) {
                m_strIoError = "The chunk with node key " + std::to_string(key) + " has " +
                               std::to_string(rec->m_nSize) + " payload bytes that could not be read when it was loaded.";
                return false;
            }
            sizes[node] = kHeaderSize + std::uint64_t{rec->m_nSize};
        }
        if (sizes[node] > 0xFFFFFFFFull) {
            m_strIoError = "The chunk with node key " + std::to_string(key) +
                           " would be larger than a chunk can be (4 GiB).";
            return false;
        }
        const NodeId parent = m_tree.GetParentItem(node);
        if (parent == boundary)
            total += sizes[node];
        else
            sizes[parent] += sizes[node];
    }

    const std::size_t base = buffer.size();
    buffer.resize(base + total);
    std::uint8_t* out = buffer.data() + base;
    std::uint32_t untilProgress = kProgressInterval;
    for (const NodeId node : order) {
        const CMobChunk& rec = *m_mapChunks.Lookup(m_tree.GetItemData(node));
        le::WriteU32(out, rec.m_nId);
        le::WriteU32(out + 4, static_cast<std::uint32_t>(sizes[node]));
        out += kHeaderSize;
        if (!m_tree.ItemHasChildren(node) && rec.m_nSize != 0) {
            std::memcpy(out, rec.m_pData.get(), rec.m_nSize);
            out += rec.m_nSize;
        }
        if (--untilProgress == 0) {
            untilProgress = kProgressInterval;
            ReportProgress(static_cast<std::uint64_t>(out - buffer.data()), buffer.size());
        }
    }
    return true;
}

void CMobDocument::UnloadAll()
{
    m_mapChunks.RemoveAll();
    m_tree.DeleteAllItems();
    m_arena.Clear();
    m_bModified = false;
}

} // namespace qm
