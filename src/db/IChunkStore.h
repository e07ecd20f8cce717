#pragma once

#include "db/ChunkRow.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qm::db {

// A database that holds unpacked files. Writing happens in one transaction:
// BeginUnpack, then descriptions, files and their chunks, then Commit; any
// failure, or the store going away without Commit, leaves the database as
// it was. A call that fails returns false and leaves the reason in Error().
class IChunkStore {
public:
    virtual ~IChunkStore() = default;

    // Starts the transaction, creating the schema in an empty database and
    // refusing one whose schema is not ours or of another version.
    virtual bool BeginUnpack() = 0;
    virtual bool PutDescription(const DescriptionRow& row) = 0;
    // Adds a files row; its file_id, or none.
    virtual std::optional<std::int64_t> AddFile(std::string_view source, std::optional<Bytes> trailing) = 0;
    // The chunks of the file AddFile added last, in any order, closed by EndFile.
    virtual bool AddChunk(std::int64_t fileId, const ChunkRow& row) = 0;
    virtual bool EndFile() = 0;
    virtual bool Commit() = 0;

    using FileVisitor = std::function<void(const FileRow&)>;
    // False to stop the reading (the visitor then set its own reason).
    using ChunkVisitor = std::function<bool(const ChunkRow&)>;
    // Reads one file's row and then its chunks, in a consistent snapshot.
    // False, with the reason, when there is no such file or reading fails.
    virtual bool ReadFile(std::int64_t fileId, const FileVisitor& file, const ChunkVisitor& chunk) = 0;

    virtual const std::string& Error() const = 0;
};

} // namespace qm::db
