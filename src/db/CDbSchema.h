#pragma once

#include <span>
#include <string_view>

namespace qm::db {

// The one schema of unpacked files, as each database spells it. Both give
// the same tables, columns, indexes and views, so the same queries run on
// either (docs/DATABASE.md).
class CDbSchema {
public:
    // Stored in quillmere_schema and checked before every use; it grows
    // whenever a table, column or view changes meaning.
    static constexpr int kVersion = 1;

    enum class Dialect { Sqlite, Postgres };

    // The statements that create the schema in an empty database, the
    // version row included, and then its indexes. A first unpack creates
    // the indexes after loading its rows: one sort is much cheaper than a
    // million insertions into each index.
    static std::span<const std::string_view> CreateStatements(Dialect dialect);
    static std::span<const std::string_view> IndexStatements();

    // The tables whose presence without quillmere_schema marks a database
    // that someone else uses.
    static std::span<const std::string_view> TableNames();

    // The reason to give for a stored version that is not kVersion.
    static std::string VersionMismatch(long long stored);
};

} // namespace qm::db
