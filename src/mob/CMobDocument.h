#pragma once

#include "desc/CDescTable.h"
#include "mob/CChunkIndex.h"
#include "mob/CChunkTree.h"
#include "mob/CPayloadArena.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qm {

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

    CMobDocument();
    ~CMobDocument();
    CMobDocument(const CMobDocument&) = delete;
    CMobDocument& operator=(const CMobDocument&) = delete;

    // Adds the file as the last top-level node, with a node and a record for
    // every chunk. False, with nothing added, when the file cannot be opened,
    // sized, mapped or locked, is empty, or is 0xFFFFFFFF bytes or larger.
    bool LoadMobFile(const std::string& path);

    // Walks one chunk list into nodes below parent. False only when start is
    // none; whatever the bytes, nothing outside [start, start + length) is read.
    bool ParseChunks(NodeId parent, const std::uint8_t* start, std::uint32_t length);

    // Writes the first file node's chunks to path, every container's size
    // recomputed from its children. The old file is replaced only once the
    // new one is complete on disk.
    bool SaveMobFile(const std::string& path);

    // Appends first and its later siblings, with their subtrees, to buffer.
    bool WriteChunks(NodeId first, std::vector<std::uint8_t>& buffer);

    // Removes every file, node and record. Node keys start again at 1.
    void UnloadAll();

    CChunkTree& Tree() { return m_tree; }
    const CChunkTree& Tree() const { return m_tree; }
    CChunkIndex& Chunks() { return m_mapChunks; }
    const CChunkIndex& Chunks() const { return m_mapChunks; }

    const std::string& GetIoError() const { return m_strIoError; }
    void SetProgressCallback(ProgressCallback callback) { m_progress = std::move(callback); }

    // True after MarkModified() until the next successful save or unload.
    bool IsModified() const { return m_bModified; }
    void MarkModified() { m_bModified = true; }

    // The label of a file node: the path itself when shorter than 40
    // characters, else its first 8, "..." and its last 30. Characters are
    // counted as Utf8CharLength counts them.
    static std::string FileNodeText(std::string_view path);

    std::uint32_t m_nFileOffset = 0;

private:
    void ReportProgress(std::uint64_t done, std::uint64_t total) const;
    // The size field of every node from first on (first, its later
    // siblings and their subtrees), and the bytes they take together.
    bool MeasureChunks(NodeId first, std::vector<std::uint32_t>& sizes, std::uint64_t& total);
    void EmitChunks(NodeId first, const std::vector<std::uint32_t>& sizes, std::uint8_t* out,
                    std::uint64_t total) const;

    CChunkTree m_tree;
    CChunkIndex m_mapChunks;
    CPayloadArena m_arena;
    std::string m_strIoError;
    ProgressCallback m_progress;
    bool m_bModified = false;
};

} // namespace qm
