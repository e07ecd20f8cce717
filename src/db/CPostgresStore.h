#pragma once

#include "db/IChunkStore.h"

#include <string>

struct pg_conn;
struct pg_result;

namespace qm::db {

// Unpacked files on a PostgreSQL server, through libpq: statements with
// bound values, chunks loaded with COPY in the binary format and read back
// through a cursor in batches.
class CPostgresStore : public IChunkStore {
public:
    // Connects with a libpq connection string; passwords come from libpq's
    // own means (the password file, the service file, the environment).
    // Check Error() when the store is not usable.
    explicit CPostgresStore(const std::string& conninfo);
    ~CPostgresStore() override;
    CPostgresStore(const CPostgresStore&) = delete;
    CPostgresStore& operator=(const CPostgresStore&) = delete;

    bool IsOpen() const { return m_conn != nullptr; }

    bool BeginUnpack() override;
    bool PutDescription(const DescriptionRow& row) override;
    std::optional<std::int64_t> AddFile(std::string_view source, std::optional<Bytes> trailing) override;
    bool AddChunk(std::int64_t fileId, const ChunkRow& row) override;
    bool EndFile() override;
    bool Commit() override;
    bool ReadFile(std::int64_t fileId, const FileVisitor& file, const ChunkVisitor& chunk) override;
    const std::string& Error() const override { return m_strError; }

private:
    class Result;
    class Params;

    bool Fail(std::string_view what);
    bool Execute(const char* sql);
    Result Run(const char* sql, const Params& params, bool binaryResult);
    // The stored schema version, 0 when there is no schema, -1 on a failure.
    long long StoredVersion();
    bool EnsureSchema();
    bool StartCopy();
    bool FlushCopy();
    bool ReadChunks(std::int64_t fileId, const ChunkVisitor& chunk);

    pg_conn* m_conn = nullptr;
    bool m_bCopying = false;
    bool m_bIndexesPending = false;
    std::string m_copyBuffer;
    std::string m_strError;
};

} // namespace qm::db
