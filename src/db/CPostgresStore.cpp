#include "db/CPostgresStore.h"

#include "db/CDbSchema.h"

#include <libpq-fe.h>

#include <charconv>
#include <climits>
#include <utility>
#include <vector>

namespace qm::db {

namespace {

// Type oids of the values bound, as the server's catalogue fixes them.
constexpr Oid kInt8 = 20;
constexpr Oid kText = 25;
constexpr Oid kBytea = 17;

constexpr std::size_t kCopyFlushBytes = 1 << 20;
constexpr int kFetchRows = 20000;

// The binary COPY format and binary results hold integers in network order.
void AppendBigEndian(std::string& out, std::uint64_t value, int bytes)
{
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::int64_t ReadBigEndian(const char* data)
{
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value = (value << 8) | static_cast<unsigned char>(data[i]);
    return static_cast<std::int64_t>(value);
}

void CopyInt(std::string& out, std::optional<std::int64_t> value)
{
    if (!value) {
        AppendBigEndian(out, 0xFFFFFFFFu, 4);
        return;
    }
    AppendBigEndian(out, 8, 4);
    AppendBigEndian(out, static_cast<std::uint64_t>(*value), 8);
}

void CopyBytes(std::string& out, const void* data, std::size_t size)
{
    AppendBigEndian(out, size, 4);
    out.append(static_cast<const char*>(data), size);
}

void CopyText(std::string& out, std::optional<std::string_view> text)
{
    if (!text)
        return AppendBigEndian(out, 0xFFFFFFFFu, 4);
    CopyBytes(out, text->data(), text->size());
}

void CopyBlob(std::string& out, const std::optional<Bytes>& bytes)
{
    if (!bytes)
        return AppendBigEndian(out, 0xFFFFFFFFu, 4);
    CopyBytes(out, bytes->data(), bytes->size());
}

std::string Trimmed(const char* message)
{
    std::string text = message ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

// A result that frees itself.
class CPostgresStore::Result {
public:
    explicit Result(PGresult* result) : m_result(result) {}
    ~Result() { PQclear(m_result); }
    Result(Result&& other) noexcept : m_result(std::exchange(other.m_result, nullptr)) {}
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    Result& operator=(Result&&) = delete;

    PGresult* get() const { return m_result; }
    bool Is(ExecStatusType status) const { return PQresultStatus(m_result) == status; }
    bool IsNull(int row, int column) const { return PQgetisnull(m_result, row, column) != 0; }
    std::string_view Value(int row, int column) const
    {
        return {PQgetvalue(m_result, row, column), static_cast<std::size_t>(PQgetlength(m_result, row, column))};
    }
    std::int64_t Int(int row, int column) const { return ReadBigEndian(PQgetvalue(m_result, row, column)); }
    Bytes Blob(int row, int column) const
    {
        const std::string_view value = Value(row, column);
        return {reinterpret_cast<const std::uint8_t*>(value.data()), value.size()};
    }

private:
    PGresult* m_result;
};

// Values bound in the binary format: no text of ours is ever pasted into SQL.
class CPostgresStore::Params {
public:
    Params& Int(std::int64_t value)
    {
        std::string bytes;
        AppendBigEndian(bytes, static_cast<std::uint64_t>(value), 8);
        return Add(kInt8, std::move(bytes), false);
    }
    Params& Text(std::string_view text) { return Add(kText, std::string(text), false); }
    Params& Blob(const std::optional<Bytes>& bytes)
    {
        if (!bytes)
            return Add(kBytea, {}, true);
        return Add(kBytea, std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size()), false);
    }

    int Count() const { return static_cast<int>(m_types.size()); }
    const Oid* Types() const { return m_types.data(); }
    std::vector<const char*> Values() const
    {
        std::vector<const char*> values;
        for (std::size_t i = 0; i < m_values.size(); ++i)
            values.push_back(m_null[i] ? nullptr : m_values[i].data());
        return values;
    }
    const int* Lengths() const { return m_lengths.data(); }
    const int* Formats() const { return m_formats.data(); }

private:
    Params& Add(Oid type, std::string value, bool isNull)
    {
        m_types.push_back(type);
        m_lengths.push_back(static_cast<int>(value.size()));
        m_formats.push_back(1);
        m_null.push_back(isNull);
        m_values.push_back(std::move(value));
        return *this;
    }

    std::vector<Oid> m_types;
    std::vector<std::string> m_values;
    std::vector<int> m_lengths;
    std::vector<int> m_formats;
    std::vector<bool> m_null;
};

CPostgresStore::CPostgresStore(const std::string& conninfo)
{
    PGconn* conn = PQconnectdb(conninfo.c_str());
    if (!conn || PQstatus(conn) != CONNECTION_OK) {
        m_strError = "cannot connect to the PostgreSQL server: " +
                     (conn ? Trimmed(PQerrorMessage(conn)) : std::string("out of memory"));
        PQfinish(conn);
        return;
    }
    m_conn = conn;
    if (PQsetClientEncoding(m_conn, "UTF8") != 0) {
        Fail("cannot use UTF-8 with the server");
        PQfinish(m_conn);
        m_conn = nullptr;
    }
}

CPostgresStore::~CPostgresStore()
{
    // Ending the session takes back whatever was not committed.
    PQfinish(m_conn);
}

bool CPostgresStore::Fail(std::string_view what)
{
    m_strError = "PostgreSQL: ";
    m_strError += what;
    const std::string detail = m_conn ? Trimmed(PQerrorMessage(m_conn)) : std::string();
    if (!detail.empty())
        m_strError += (what.empty() ? "" : ": ") + detail;
    return false;
}

bool CPostgresStore::Execute(const char* sql)
{
    const Result result(PQexec(m_conn, sql));
    if (!result.Is(PGRES_COMMAND_OK) && !result.Is(PGRES_TUPLES_OK))
        return Fail("");
    return true;
}

CPostgresStore::Result CPostgresStore::Run(const char* sql, const Params& params, bool binaryResult)
{
    const std::vector<const char*> values = params.Values();
    return Result(PQexecParams(m_conn, sql, params.Count(), params.Types(), values.data(), params.Lengths(),
                               params.Formats(), binaryResult ? 1 : 0));
}

long long CPostgresStore::StoredVersion()
{
    auto failed = [this](std::string_view what) {
        Fail(what);
        return -1LL;
    };
    auto exists = [this](std::string_view table) -> int {
        const Result result = Run("SELECT to_regclass($1) IS NOT NULL", Params().Text(table), false);
        if (!result.Is(PGRES_TUPLES_OK))
            return -1;
        return result.Value(0, 0) == "t" ? 1 : 0;
    };
    const int ours = exists("quillmere_schema");
    if (ours < 0)
        return failed("");
    if (ours == 0) {
        for (const std::string_view table : CDbSchema::TableNames()) {
            const int taken = exists(table);
            if (taken < 0)
                return failed("");
            if (taken > 0)
                return failed("the database has a table " + std::string(table) + " but no Quillmere schema version");
        }
        return 0;
    }
    const Result result = Run("SELECT version FROM quillmere_schema", Params(), false);
    if (!result.Is(PGRES_TUPLES_OK))
        return failed("");
    if (PQntuples(result.get()) != 1)
        return failed("the database has no Quillmere schema version");
    long long stored = 0;
    const std::string_view text = result.Value(0, 0);
    std::from_chars(text.data(), text.data() + text.size(), stored);
    if (stored != CDbSchema::kVersion)
        return failed(CDbSchema::VersionMismatch(stored));
    return stored;
}

bool CPostgresStore::EnsureSchema()
{
    const long long version = StoredVersion();
    if (version < 0)
        return false;
    if (version > 0)
        return true;
    for (const std::string_view statement : CDbSchema::CreateStatements(CDbSchema::Dialect::Postgres)) {
        if (!Execute(std::string(statement).c_str()))
            return false;
    }
    m_bIndexesPending = true;
    return true;
}

bool CPostgresStore::BeginUnpack()
{
    if (!m_conn)
        return false;
    return Execute("BEGIN") && EnsureSchema();
}

bool CPostgresStore::PutDescription(const DescriptionRow& row)
{
    const Result result = Run("INSERT INTO descriptions (id_key, data_type, name, description) VALUES ($1, $2, $3, $4) "
                              "ON CONFLICT (id_key) DO UPDATE SET data_type = excluded.data_type, "
                              "name = excluded.name, description = excluded.description",
                              Params().Text(row.idKey).Text(row.dataType).Text(row.name).Text(row.description), false);
    if (!result.Is(PGRES_COMMAND_OK))
        return Fail("cannot store the description of " + std::string(row.idKey));
    return true;
}

std::optional<std::int64_t> CPostgresStore::AddFile(std::string_view source, std::optional<Bytes> trailing)
{
    const Result result = Run("INSERT INTO files (source, trailing_bytes) VALUES ($1, $2) RETURNING file_id",
                              Params().Text(source).Blob(trailing), true);
    if (!result.Is(PGRES_TUPLES_OK) || PQntuples(result.get()) != 1) {
        Fail("cannot add the file");
        return std::nullopt;
    }
    return result.Int(0, 0);
}

bool CPostgresStore::StartCopy()
{
    const Result result(PQexec(m_conn, "COPY chunks (file_id, node_key, parent_key, position, depth, id, id_key, name, "
                                       "data_type, size, chunk_offset, payload, text, trailing_bytes) "
                                       "FROM STDIN (FORMAT binary)"));
    if (!result.Is(PGRES_COPY_IN))
        return Fail("cannot start loading the chunks");
    m_bCopying = true;
    m_copyBuffer.assign("PGCOPY\n\377\r\n\0", 11);
    AppendBigEndian(m_copyBuffer, 0, 4);  // flags
    AppendBigEndian(m_copyBuffer, 0, 4);  // header extension length
    return true;
}

bool CPostgresStore::FlushCopy()
{
    if (m_copyBuffer.empty())
        return true;
    if (m_copyBuffer.size() > INT_MAX || PQputCopyData(m_conn, m_copyBuffer.data(), static_cast<int>(m_copyBuffer.size())) != 1)
        return Fail("cannot load the chunks");
    m_copyBuffer.clear();
    return true;
}

bool CPostgresStore::AddChunk(std::int64_t fileId, const ChunkRow& row)
{
    if (!m_bCopying && !StartCopy())
        return false;
    std::string& out = m_copyBuffer;
    AppendBigEndian(out, 14, 2);
    CopyInt(out, fileId);
    CopyInt(out, row.nodeKey);
    CopyInt(out, row.parentKey);
    CopyInt(out, row.position);
    CopyInt(out, row.depth);
    CopyInt(out, row.id);
    CopyText(out, row.idKey);
    CopyText(out, row.name);
    CopyText(out, row.dataType);
    CopyInt(out, row.size);
    CopyInt(out, row.offset);
    CopyBlob(out, row.payload);
    CopyText(out, row.text);
    CopyBlob(out, row.trailing);
    return out.size() < kCopyFlushBytes || FlushCopy();
}

bool CPostgresStore::EndFile()
{
    if (!m_bCopying)
        return true;
    m_bCopying = false;
    AppendBigEndian(m_copyBuffer, 0xFFFF, 2);
    const bool sent = FlushCopy() && PQputCopyEnd(m_conn, nullptr) == 1;
    // The server's verdict on the whole COPY comes as its result.
    bool ok = sent;
    while (PGresult* raw = PQgetResult(m_conn)) {
        const Result result(raw);
        if (!result.Is(PGRES_COMMAND_OK) && ok)
            ok = Fail("cannot load the chunks");
    }
    if (!sent)
        return Fail("cannot load the chunks");
    return ok;
}

bool CPostgresStore::Commit()
{
    if (!m_conn)
        return false;
    if (m_bIndexesPending) {
        for (const std::string_view statement : CDbSchema::IndexStatements()) {
            if (!Execute(std::string(statement).c_str()))
                return false;
        }
    }
    return Execute("COMMIT");
}

bool CPostgresStore::ReadFile(std::int64_t fileId, const FileVisitor& file, const ChunkVisitor& chunk)
{
    if (!m_conn)
        return false;
    // One snapshot: a writer cannot change the file half-way through.
    if (!Execute("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"))
        return false;
    const long long version = StoredVersion();
    if (version <= 0)
        return version < 0 ? false : Fail("the database holds no unpacked files");
    const Result result = Run("SELECT source, trailing_bytes FROM files WHERE file_id = $1", Params().Int(fileId), true);
    if (!result.Is(PGRES_TUPLES_OK))
        return Fail("");
    if (PQntuples(result.get()) != 1)
        return Fail("there is no file with file_id " + std::to_string(fileId));
    FileRow row{result.Value(0, 0), std::nullopt};
    if (!result.IsNull(0, 1))
        row.trailing = result.Blob(0, 1);
    file(row);
    return ReadChunks(fileId, chunk);
}

bool CPostgresStore::ReadChunks(std::int64_t fileId, const ChunkVisitor& chunk)
{
    const Result declared = Run("DECLARE quillmere_chunks NO SCROLL CURSOR FOR SELECT node_key, parent_key, position, "
                                "depth, id, id_key, data_type, payload, text, trailing_bytes FROM chunks WHERE file_id = $1",
                                Params().Int(fileId), false);
    if (!declared.Is(PGRES_COMMAND_OK))
        return Fail("");
    const std::string fetch = "FETCH FORWARD " + std::to_string(kFetchRows) + " FROM quillmere_chunks";
    for (;;) {
        const Result batch = Run(fetch.c_str(), Params(), true);
        if (!batch.Is(PGRES_TUPLES_OK))
            return Fail("");
        const int rows = PQntuples(batch.get());
        if (rows == 0)
            return true;
        for (int r = 0; r < rows; ++r) {
            ChunkRow row;
            row.nodeKey = batch.Int(r, 0);
            if (!batch.IsNull(r, 1))
                row.parentKey = batch.Int(r, 1);
            row.position = batch.Int(r, 2);
            row.depth = batch.Int(r, 3);
            row.id = batch.Int(r, 4);
            row.idKey = batch.Value(r, 5);
            row.dataType = batch.Value(r, 6);
            if (!batch.IsNull(r, 7))
                row.payload = batch.Blob(r, 7);
            if (!batch.IsNull(r, 8))
                row.text = batch.Value(r, 8);
            if (!batch.IsNull(r, 9))
                row.trailing = batch.Blob(r, 9);
            if (!chunk(row))
                return false;
        }
    }
}

} // namespace qm::db
