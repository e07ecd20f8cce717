#pragma once

#include "db/IChunkStore.h"

#include <memory>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace qm::db {

// Unpacked files in a SQLite database file, through prepared statements
// with bound values.
class CSqliteStore : public IChunkStore {
public:
    enum class Mode { Write, Read };
    // Opens (for writing, creates when missing) the database file; check
    // Error() when the store is not usable.
    CSqliteStore(const std::string& path, Mode mode);
    ~CSqliteStore() override;
    CSqliteStore(const CSqliteStore&) = delete;
    CSqliteStore& operator=(const CSqliteStore&) = delete;

    bool IsOpen() const { return m_db != nullptr; }

    bool BeginUnpack() override;
    bool PutDescription(const DescriptionRow& row) override;
    std::optional<std::int64_t> AddFile(std::string_view source, std::optional<Bytes> trailing) override;
    bool AddChunk(std::int64_t fileId, const ChunkRow& row) override;
    bool EndFile() override { return true; }
    bool Commit() override;
    bool ReadFile(std::int64_t fileId, const FileVisitor& file, const ChunkVisitor& chunk) override;
    const std::string& Error() const override { return m_strError; }

private:
    struct StatementDeleter {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

    bool Execute(std::string_view sql);
    Statement Prepare(std::string_view sql);
    bool Fail(std::string_view what);
    // The stored schema version, 0 for a database without our schema, -1
    // (with the reason) for one that someone else's tables occupy.
    long long StoredVersion();
    bool EnsureSchema();
    bool ReadChunks(std::int64_t fileId, const ChunkVisitor& chunk);

    std::string m_strPath;
    sqlite3* m_db = nullptr;
    bool m_bInTransaction = false;
    bool m_bIndexesPending = false;
    Statement m_putDescription;
    Statement m_addChunk;
    std::string m_strError;
};

} // namespace qm::db
