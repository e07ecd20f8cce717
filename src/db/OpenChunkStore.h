#pragma once

#include "db/IChunkStore.h"

#include <memory>
#include <string>

namespace qm::db {

// Where unpacked files go or come from: a SQLite database file, or a
// PostgreSQL database named by a libpq connection string.
struct DbTarget {
    enum class Kind { Sqlite, Postgres };
    Kind kind = Kind::Sqlite;
    std::string location;
};

// The store for target, opened for writing (unpack) or reading (pack);
// none, with the reason in error, when it cannot be opened.
std::unique_ptr<IChunkStore> OpenChunkStore(const DbTarget& target, bool forWriting, std::string& error);

} // namespace qm::db
