#pragma once

#include "desc/CDescTable.h"
#include "mob/CChunkIndex.h"
#include "mob/CChunkTree.h"
#include "mob/CPayloadArena.h"
#include "platform/CProcessLock.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace qm {

class CByteOutput;
class CMemMapFile;

// The document: the description table, the chunk tree of every loaded file
// and the record of every node, with loading, saving and unloading.
//
// It shows nothing: an operation that fails returns false and leaves the
// reason in GetIoError() (file operations) or GetError() (descriptions).
class CMobDocument : public CDescTable {
public:
    // Called now and then during a long load or save with the bytes done so
    // far and the total, so a window can show progress and stay responsive.
    using ProgressCallback = std::function<void(std::uint64_t done, std::uint64_t total)>;
    // Asked now and then while a load waits for another process to finish
    // loading, with the time waited so far; false gives the load up.
    using LockWaitCallback = platform::CProcessLock::WaitCallback;

    CMobDocument();
    ~CMobDocument();
    CMobDocument(const CMobDocument&) = delete;
    CMobDocument& operator=(const CMobDocument&) = delete;

    // Adds the file as the last top-level node, with a node and a record for
    // every chunk. False, with nothing added, when the file cannot be opened,
    // sized, mapped or locked (or the wait for the lock was given up), is
    // empty, or is 0xFFFFFFFF bytes or larger.
    bool LoadMobFile(const std::string& path);
    // Adds a file node for MOB bytes held in memory (a document packed from
    // its unpacked form, say), walked as LoadMobFile walks a file; path is
    // the file node's label. False, with nothing added, for empty bytes or
    // 0xFFFFFFFF bytes or more.
    bool LoadMobBytes(const std::string& path, std::span<const std::uint8_t> bytes);

    // Walks one chunk list into nodes below parent. False only when start is
    // none; whatever the bytes, nothing outside [start, start + length) is read.
    bool ParseChunks(NodeId parent, const std::uint8_t* start, std::uint32_t length);

    // Writes the first file node's chunks and trailing bytes to path, every
    // container's size recomputed from what it holds. The old file keeps its
    // contents until the new ones are complete on disk, and keeps its owner,
    // permissions and other names (platform::CFileReplacer). Refused when
    // the result could not be loaded again: empty, or 4 GiB or more.
    bool SaveMobFile(const std::string& path);
    // The same for any one loaded file, while others stay loaded.
    bool SaveFile(NodeId fileNode, const std::string& path);

    // Appends first and its later siblings, with their subtrees, to buffer.
    bool WriteChunks(NodeId first, std::vector<std::uint8_t>& buffer);
    // Appends the whole of a chunk list to buffer: the node's children and
    // then its trailing bytes (a file node gives the file, a container its
    // payload).
    bool WriteChunkList(NodeId listNode, std::vector<std::uint8_t>& buffer);
    // Appends node as saving writes it, header included, with its subtree;
    // a file node gives the whole file.
    bool WriteChunk(NodeId node, std::vector<std::uint8_t>& buffer);
    // The bytes node's payload is saved as: for a chunk without children a
    // view of its record's own bytes, else its chunk list built into built.
    // False, with the reason in GetIoError(), when they cannot be written.
    bool GetSavedPayload(NodeId node, std::vector<std::uint8_t>& built, std::span<const std::uint8_t>& view);

    // Bytes at the end of a chunk list that hold no chunk: fewer than a
    // header's 8, or everything from a header whose size field is below 8
    // on. Loading keeps them with the node of the list they end, a file
    // node or a container, and saving writes them after that node's last
    // child (a container's size counts them), so that a file saves byte for
    // byte whatever state it is in. The tree does not show them. Most nodes
    // have none, and the table is empty for well-formed files.
    std::span<const std::uint8_t> GetTrailingBytes(NodeId listNode) const;
    // Replaces a node's trailing bytes; empty bytes remove them. A node
    // that moves or goes takes its entry with it; that is the caller's work.
    void SetTrailingBytes(NodeId listNode, std::vector<std::uint8_t> bytes);
    // Every node in the tree with trailing bytes, in ascending node order.
    std::vector<NodeId> NodesWithTrailingBytes() const;

    // Chunks whose size field claimed more bytes than their list had left.
    // Loading keeps the bytes that are there and makes the chunk the last of
    // its list, so saving writes a smaller size; this tells which chunks,
    // with the size field as it was read, so the change can be reported.
    // In ascending node order; empty for well-formed files.
    struct CutChunk {
        NodeId node;
        std::uint32_t sizeField;
    };
    std::vector<CutChunk> ChunksCutShort() const;

    // Removes every file, node and record. Node keys start again at 1.
    void UnloadAll();

    // Changes of structure. Nodes never go before UnloadAll: a node taken
    // out of the tree is detached, with its subtree, record and trailing
    // bytes, so that it can come back as it was and its node key is never
    // handed out again. The size of every container above a change, and
    // each file's length, follow at once; a file's offsets are counted
    // again when next asked for.
    //
    // Whether bytes form a list of chunks that may be put into the tree:
    // whole chunks back to back, each inside the list that holds it, down
    // through every container. A container may end in bytes that hold no
    // chunk, as loading allows; the list itself may not. False with the
    // reason, for a user, in error.
    bool CheckChunkList(std::span<const std::uint8_t> bytes, std::string& error) const;
    // Walks bytes into new nodes and records, as loading walks a file, below
    // a new detached node, which is returned; the chunks are its children.
    NodeId ParseDetached(std::span<const std::uint8_t> bytes);
    // Moves the run of sibling chunks first..last (CChunkTree::MoveRun). A
    // container that loses its last child keeps the bytes after it as its
    // payload, and one that gets its first child keeps its payload as the
    // bytes after its children, so no byte is lost either way.
    void MoveChunks(NodeId first, NodeId last, NodeId prev, NodeId toParent, NodeId toPrev);
    // Trades node's payload and its size for another pair (CMobChunk::
    // ExchangePayload), and the containers and file around it follow.
    void ExchangePayload(NodeId node, CPayload& data, std::uint32_t& size);
    // The length the file would be saved with.
    std::uint64_t GetFileBytes(NodeId fileNode) const;
    // The offset of node's header in its file as saving would write it.
    std::uint32_t GetChunkOffset(NodeId node);

    // What the format holds: a chunk's size field counts its 8-byte header,
    // and a file must stay below the 0xFFFFFFFF the size query fails with.
    static constexpr std::uint32_t kLargestPayload = 0xFFFFFFFFu - 8;
    static constexpr std::uint64_t kLargestFile = 0xFFFFFFFEull;

    CChunkTree& Tree() { return m_tree; }
    const CChunkTree& Tree() const { return m_tree; }
    CChunkIndex& Chunks() { return m_mapChunks; }
    const CChunkIndex& Chunks() const { return m_mapChunks; }

    const std::string& GetIoError() const { return m_strIoError; }
    // After a successful save, what the user should hear besides success
    // (a set-user-ID bit that could not be kept); usually empty.
    const std::string& GetIoNotice() const { return m_strIoNotice; }
    void SetProgressCallback(ProgressCallback callback) { m_progress = std::move(callback); }
    void SetLockWaitCallback(LockWaitCallback callback) { m_lockWait = std::move(callback); }

    // The label of a file node: the path itself when shorter than 40
    // characters, else its first 8, "..." and its last 30. Characters are
    // counted as Utf8CharLength counts them.
    static std::string FileNodeText(std::string_view path);

    std::uint32_t m_nFileOffset = 0;

private:
    // With map, the pages of the mapped file behind the walk are let go as
    // it goes (start must then be the map's view).
    bool ParseChunks(NodeId parent, const std::uint8_t* start, std::uint32_t length, CMemMapFile* map);
    void ReportProgress(std::uint64_t done, std::uint64_t total) const;
    // map, when given, is the mapped file data lies in (see ParseChunks).
    NodeId AddFileNode(const std::string& path, const std::uint8_t* data, std::uint32_t size,
                       CMemMapFile* map = nullptr);
    // Takes back a file node added last, with everything below it.
    void RemoveLastFile(NodeId fileNode);
    void KeepTrailingBytes(NodeId listNode, const std::uint8_t* bytes, std::uint32_t count);
    std::uint32_t TrailingCount(NodeId node) const;
    // The size field of every node from first on (first, its later
    // siblings and their subtrees), and the bytes they take together with
    // the trailing bytes of listNode (kNoNode for none).
    bool MeasureChunks(NodeId first, NodeId listNode, std::vector<std::uint32_t>& sizes, std::uint64_t& total);
    void EmitChunks(NodeId first, NodeId listNode, const std::vector<std::uint32_t>& sizes, CByteOutput& out,
                    std::uint64_t total) const;
    void EmitTrailingBytes(NodeId node, CByteOutput& out) const;
    bool AppendList(NodeId first, NodeId listNode, std::vector<std::uint8_t>& buffer);
    // Adds delta to the size of list and of every container above it, and
    // to the length of its file.
    void GrowList(NodeId list, std::int64_t delta);
    void RefreshOffsets(NodeId fileNode);

    // What the document knows of a loaded file beyond its nodes.
    struct FileState {
        std::uint64_t bytes = 0;
        bool offsetsStale = false;
    };

    CChunkTree m_tree;
    CChunkIndex m_mapChunks;
    CPayloadArena m_arena;
    std::unordered_map<NodeId, std::vector<std::uint8_t>> m_trailing;
    std::unordered_map<NodeId, std::uint32_t> m_cutShort;
    std::unordered_map<NodeId, FileState> m_files;
    std::string m_strIoError;
    std::string m_strIoNotice;
    ProgressCallback m_progress;
    LockWaitCallback m_lockWait;
};

} // namespace qm
