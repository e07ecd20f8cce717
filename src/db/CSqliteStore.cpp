#include "db/CSqliteStore.h"

#include "db/CDbSchema.h"

#include <sqlite3.h>

#include <climits>

namespace qm::db {

namespace {

// SQLite reads a null pointer as NULL whatever the length, so an empty
// payload is bound from a pointer of its own.
constexpr std::uint8_t kEmpty = 0;

int BindBytes(sqlite3_stmt* statement, int column, const std::optional<Bytes>& bytes)
{
    if (!bytes)
        return sqlite3_bind_null(statement, column);
    if (bytes->size() > INT_MAX)
        return SQLITE_TOOBIG;
    const void* data = bytes->empty() ? &kEmpty : bytes->data();
    return sqlite3_bind_blob(statement, column, data, static_cast<int>(bytes->size()), SQLITE_STATIC);
}

int BindText(sqlite3_stmt* statement, int column, std::optional<std::string_view> text)
{
    if (!text)
        return sqlite3_bind_null(statement, column);
    if (text->size() > INT_MAX)
        return SQLITE_TOOBIG;
    return sqlite3_bind_text(statement, column, text->empty() ? "" : text->data(), static_cast<int>(text->size()),
                             SQLITE_STATIC);
}

int BindInt(sqlite3_stmt* statement, int column, std::optional<std::int64_t> value)
{
    if (!value)
        return sqlite3_bind_null(statement, column);
    return sqlite3_bind_int64(statement, column, *value);
}

std::string_view ColumnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    if (!text)
        return {};
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column))};
}

std::optional<Bytes> ColumnBytes(sqlite3_stmt* statement, int column)
{
    if (sqlite3_column_type(statement, column) == SQLITE_NULL)
        return std::nullopt;
    const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement, column));
    return Bytes(data, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
}

std::optional<std::string_view> ColumnOptionalText(sqlite3_stmt* statement, int column)
{
    if (sqlite3_column_type(statement, column) == SQLITE_NULL)
        return std::nullopt;
    return ColumnText(statement, column);
}

} // namespace

void CSqliteStore::StatementDeleter::operator()(sqlite3_stmt* statement) const
{
    sqlite3_finalize(statement);
}

CSqliteStore::CSqliteStore(const std::string& path, Mode mode) : m_strPath(path)
{
    const int flags = mode == Mode::Write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        m_strError = path + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return;
    }
    m_db = db;
    sqlite3_extended_result_codes(m_db, 1);
    // Another program may be writing; wait a while rather than fail at once.
    sqlite3_busy_timeout(m_db, 10000);
    // A million rows make a database of some hundred megabytes: a cache that
    // holds it keeps SQLite from writing pages twice within one unpack, and
    // indexes sort in memory.
    Execute("PRAGMA cache_size = -262144");
    Execute("PRAGMA temp_store = MEMORY");
}

CSqliteStore::~CSqliteStore()
{
    m_putDescription.reset();
    m_addChunk.reset();
    if (m_bInTransaction)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(m_db);
}

bool CSqliteStore::Fail(std::string_view what)
{
    m_strError = m_strPath + ": ";
    m_strError += what;
    if (m_db && sqlite3_errcode(m_db) != SQLITE_OK) {
        m_strError += what.empty() ? "" : ": ";
        m_strError += sqlite3_errmsg(m_db);
    }
    return false;
}

bool CSqliteStore::Execute(std::string_view sql)
{
    const Statement statement = Prepare(sql);
    if (!statement)
        return false;
    const int rc = sqlite3_step(statement.get());
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        return Fail("");
    return true;
}

CSqliteStore::Statement CSqliteStore::Prepare(std::string_view sql)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
        Fail("");
        return nullptr;
    }
    return Statement(statement);
}

long long CSqliteStore::StoredVersion()
{
    const Statement tables = Prepare("SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?");
    if (!tables)
        return -1;
    auto exists = [&](std::string_view name) {
        sqlite3_reset(tables.get());
        BindText(tables.get(), 1, name);
        return sqlite3_step(tables.get()) == SQLITE_ROW;
    };
    if (!exists("quillmere_schema")) {
        for (const std::string_view table : CDbSchema::TableNames()) {
            if (exists(table)) {
                Fail("the database has a table " + std::string(table) + " but no Quillmere schema version");
                return -1;
            }
        }
        return 0;
    }
    const Statement version = Prepare("SELECT version FROM quillmere_schema");
    if (!version)
        return -1;
    if (sqlite3_step(version.get()) != SQLITE_ROW) {
        Fail("the database has no Quillmere schema version");
        return -1;
    }
    const long long stored = sqlite3_column_int64(version.get(), 0);
    if (stored != CDbSchema::kVersion) {
        Fail(CDbSchema::VersionMismatch(stored));
        return -1;
    }
    return stored;
}

bool CSqliteStore::EnsureSchema()
{
    const long long version = StoredVersion();
    if (version < 0)
        return false;
    if (version > 0)
        return true;
    for (const std::string_view statement : CDbSchema::CreateStatements(CDbSchema::Dialect::Sqlite)) {
        if (!Execute(statement))
            return false;
    }
    m_bIndexesPending = true;
    return true;
}

bool CSqliteStore::BeginUnpack()
{
    if (!m_db)
        return false;
    // IMMEDIATE takes the write lock now, so a concurrent writer makes us
    // wait at the start instead of failing half-way.
    if (!Execute("BEGIN IMMEDIATE"))
        return false;
    m_bInTransaction = true;
    if (!EnsureSchema())
        return false;
    m_putDescription = Prepare(
        "INSERT INTO descriptions (id_key, data_type, name, description) VALUES (?, ?, ?, ?) "
        "ON CONFLICT (id_key) DO UPDATE SET data_type = excluded.data_type, name = excluded.name, "
        "description = excluded.description");
    m_addChunk = Prepare(
        "INSERT INTO chunks (file_id, node_key, parent_key, position, depth, id, id_key, name, data_type, size, "
        "chunk_offset, payload, text, trailing_bytes) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    return m_putDescription && m_addChunk;
}

bool CSqliteStore::PutDescription(const DescriptionRow& row)
{
    sqlite3_stmt* const s = m_putDescription.get();
    sqlite3_reset(s);
    if (BindText(s, 1, row.idKey) != SQLITE_OK || BindText(s, 2, row.dataType) != SQLITE_OK ||
        BindText(s, 3, row.name) != SQLITE_OK || BindText(s, 4, row.description) != SQLITE_OK ||
        sqlite3_step(s) != SQLITE_DONE)
        return Fail("cannot store the description of " + std::string(row.idKey));
    return true;
}

std::optional<std::int64_t> CSqliteStore::AddFile(std::string_view source, std::optional<Bytes> trailing)
{
    const Statement s = Prepare("INSERT INTO files (source, trailing_bytes) VALUES (?, ?) RETURNING file_id");
    if (!s)
        return std::nullopt;
    if (BindText(s.get(), 1, source) != SQLITE_OK || BindBytes(s.get(), 2, trailing) != SQLITE_OK ||
        sqlite3_step(s.get()) != SQLITE_ROW) {
        Fail("cannot add the file");
        return std::nullopt;
    }
    const std::int64_t fileId = sqlite3_column_int64(s.get(), 0);
    if (sqlite3_step(s.get()) != SQLITE_DONE) {
        Fail("cannot add the file");
        return std::nullopt;
    }
    return fileId;
}

bool CSqliteStore::AddChunk(std::int64_t fileId, const ChunkRow& row)
{
    sqlite3_stmt* const s = m_addChunk.get();
    sqlite3_reset(s);
    const bool bound = BindInt(s, 1, fileId) == SQLITE_OK && BindInt(s, 2, row.nodeKey) == SQLITE_OK &&
                       BindInt(s, 3, row.parentKey) == SQLITE_OK && BindInt(s, 4, row.position) == SQLITE_OK &&
                       BindInt(s, 5, row.depth) == SQLITE_OK && BindInt(s, 6, row.id) == SQLITE_OK &&
                       BindText(s, 7, row.idKey) == SQLITE_OK && BindText(s, 8, row.name) == SQLITE_OK &&
                       BindText(s, 9, row.dataType) == SQLITE_OK && BindInt(s, 10, row.size) == SQLITE_OK &&
                       BindInt(s, 11, row.offset) == SQLITE_OK && BindBytes(s, 12, row.payload) == SQLITE_OK &&
                       BindText(s, 13, row.text) == SQLITE_OK && BindBytes(s, 14, row.trailing) == SQLITE_OK;
    if (!bound || sqlite3_step(s) != SQLITE_DONE)
        return Fail("cannot store the chunk with node key " + std::to_string(row.nodeKey));
    return true;
}

bool CSqliteStore::Commit()
{
    m_putDescription.reset();
    m_addChunk.reset();
    if (m_bIndexesPending) {
        for (const std::string_view statement : CDbSchema::IndexStatements()) {
            if (!Execute(statement))
                return false;
        }
    }
    if (!Execute("COMMIT"))
        return false;
    m_bInTransaction = false;
    return true;
}

bool CSqliteStore::ReadFile(std::int64_t fileId, const FileVisitor& file, const ChunkVisitor& chunk)
{
    if (!m_db)
        return false;
    // One read transaction: a writer cannot change the file half-way through.
    if (!Execute("BEGIN"))
        return false;
    m_bInTransaction = true;
    if (StoredVersion() <= 0) {
        if (m_strError.empty())
            Fail("the database holds no unpacked files");
        return false;
    }
    const Statement s = Prepare("SELECT source, trailing_bytes FROM files WHERE file_id = ?");
    if (!s)
        return false;
    BindInt(s.get(), 1, fileId);
    const int rc = sqlite3_step(s.get());
    if (rc != SQLITE_ROW) {
        if (rc == SQLITE_DONE)
            return Fail("there is no file with file_id " + std::to_string(fileId));
        return Fail("");
    }
    file(FileRow{ColumnText(s.get(), 0), ColumnBytes(s.get(), 1)});
    return ReadChunks(fileId, chunk);
}

bool CSqliteStore::ReadChunks(std::int64_t fileId, const ChunkVisitor& chunk)
{
    const Statement s = Prepare("SELECT node_key, parent_key, position, depth, id, id_key, data_type, payload, text, "
                                "trailing_bytes FROM chunks WHERE file_id = ?");
    if (!s)
        return false;
    BindInt(s.get(), 1, fileId);
    for (;;) {
        const int rc = sqlite3_step(s.get());
        if (rc == SQLITE_DONE)
            return true;
        if (rc != SQLITE_ROW)
            return Fail("");
        ChunkRow row;
        row.nodeKey = sqlite3_column_int64(s.get(), 0);
        for (int column = 0; column < 5; ++column) {
            const int type = sqlite3_column_type(s.get(), column);
            if (type != SQLITE_INTEGER && !(column == 1 && type == SQLITE_NULL)) {
                m_strError = "the chunk with node key " + std::to_string(row.nodeKey) + " has " +
                             sqlite3_column_name(s.get(), column) + " that is not an integer";
                return false;
            }
        }
        if (sqlite3_column_type(s.get(), 1) != SQLITE_NULL)
            row.parentKey = sqlite3_column_int64(s.get(), 1);
        row.position = sqlite3_column_int64(s.get(), 2);
        row.depth = sqlite3_column_int64(s.get(), 3);
        row.id = sqlite3_column_int64(s.get(), 4);
        row.idKey = ColumnText(s.get(), 5);
        row.dataType = ColumnText(s.get(), 6);
        row.payload = ColumnBytes(s.get(), 7);
        row.text = ColumnOptionalText(s.get(), 8);
        row.trailing = ColumnBytes(s.get(), 9);
        if (!chunk(row))
            return false;
    }
}

} // namespace qm::db
