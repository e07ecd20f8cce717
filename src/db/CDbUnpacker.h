#pragma once

#include "db/IChunkStore.h"
#include "mob/CChunkTree.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qm {
class CDescTable;
class CMobDocument;
}

namespace qm::db {

// Writes loaded files into a store, one transaction for all of them:
// Begin, AddFile for each, Commit. Nothing reaches the database unless
// Commit succeeds.
class CDbUnpacker {
public:
    // Called now and then with the chunks written so far and the file's total.
    using ProgressCallback = std::function<void(std::uint64_t done, std::uint64_t total)>;

    explicit CDbUnpacker(IChunkStore& store) : m_store(store) {}

    void SetProgressCallback(ProgressCallback progress) { m_progress = std::move(progress); }

    // Starts the transaction and stores the description table in use.
    bool Begin(const CDescTable& descriptions);
    // Adds the file below fileNode, named source; its file_id, or none.
    // Node keys are counted from the file node as 1, so they are the keys
    // `mobtool tree` prints for the file on its own.
    std::optional<std::int64_t> AddFile(const CMobDocument& doc, NodeId fileNode, std::string_view source);
    bool Commit();

    const std::string& Error() const;

private:
    IChunkStore& m_store;
    ProgressCallback m_progress;
    std::string m_strError;
};

} // namespace qm::db
