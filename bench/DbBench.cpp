// Unpacking the million-chunk file into SQLite and PostgreSQL and packing it
// back, each beside its floor: the same rows moved by the database's own
// fastest bulk path from a table prepared in memory (unpack), or read back
// by it (pack). PostgreSQL is the server QUILLMERE_PG_STATE names (as the
// tests leave it), else a throwaway one this program starts and stops.

#include "BenchFile.h"
#include "BenchSummary.h"

#include "cli/CMobTool.h"
#include "db/CDbSchema.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace qm::bench {
namespace {

// A throwaway server, stopped when the program ends.
class Server {
public:
    Server()
    {
        if (const char* state = std::getenv("QUILLMERE_PG_STATE")) {
            m_state = state;
        } else {
            m_state = BenchFile::Get().folder + "/postgres";
            m_owned = true;
            if (std::system(("'" QUILLMERE_PG_SERVER "' start '" + m_state + "' >/dev/null").c_str()) != 0)
                throw std::runtime_error("cannot start a PostgreSQL server");
        }
        std::ifstream file(m_state + "/conninfo");
        std::getline(file, m_conninfo);
        if (m_conninfo.empty())
            throw std::runtime_error("no PostgreSQL server in " + m_state);
        Exec(m_conninfo, "DROP DATABASE IF EXISTS qm_bench WITH (FORCE)");
        Exec(m_conninfo, "CREATE DATABASE qm_bench");
        m_conninfo += " dbname=qm_bench";
    }
    ~Server()
    {
        if (m_owned)
            std::system(("'" QUILLMERE_PG_SERVER "' stop '" + m_state + "'").c_str());
    }
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    const std::string& Conninfo() const { return m_conninfo; }

    static void Exec(const std::string& conninfo, const std::string& sql)
    {
        PGconn* conn = PQconnectdb(conninfo.c_str());
        PQclear(PQexec(conn, "SET client_min_messages = warning"));
        PGresult* result = PQexec(conn, sql.c_str());
        const ExecStatusType status = PQresultStatus(result);
        const std::string error = PQerrorMessage(conn);
        PQclear(result);
        PQfinish(conn);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw std::runtime_error(sql + ": " + error);
    }

private:
    std::string m_state;
    std::string m_conninfo;
    bool m_owned = false;
};

Server& ThePostgres()
{
    static Server server;
    return server;
}

void SqliteExec(sqlite3* db, const std::string& sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string error = message ? message : "";
        sqlite3_free(message);
        throw std::runtime_error(sql + ": " + error);
    }
}

int Mobtool(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    CMobTool tool(out, err);
    const int status = tool.Run(args);
    if (status != 0)
        throw std::runtime_error("mobtool: " + err.str());
    return status;
}

std::string SqlitePath(const char* name)
{
    return BenchFile::Get().folder + "/" + name;
}

// The bench file unpacked once, for the floors and the packs.
const std::string& UnpackedSqlite()
{
    static const std::string path = [] {
        const std::string db = SqlitePath("rows.db");
        Mobtool({"--desc", BenchFile::Get().descPath, "unpack", "--sqlite", db, BenchFile::Get().mobPath});
        return db;
    }();
    return path;
}

void UnpackedPostgres()
{
    static const bool done = [] {
        Server::Exec(ThePostgres().Conninfo(), "DROP TABLE IF EXISTS chunks, files, descriptions, quillmere_schema CASCADE");
        Server::Exec(ThePostgres().Conninfo(), "DROP FUNCTION IF EXISTS chunks_payload_edited");
        Mobtool({"--desc", BenchFile::Get().descPath, "unpack", "--postgres", ThePostgres().Conninfo(),
                 BenchFile::Get().mobPath});
        Server::Exec(ThePostgres().Conninfo(),
                     "DROP TABLE IF EXISTS bench_rows; CREATE UNLOGGED TABLE bench_rows AS SELECT * FROM chunks");
        return true;
    }();
    benchmark::DoNotOptimize(done);
}

// mobtool unpack into a new database file: load, render, insert, commit.
void BM_UnpackSqlite(benchmark::State& state)
{
    const std::string db = SqlitePath("unpack.db");
    for (auto _ : state) {
        state.PauseTiming();
        ::unlink(db.c_str());
        state.ResumeTiming();
        Mobtool({"--desc", BenchFile::Get().descPath, "unpack", "--sqlite", db, BenchFile::Get().mobPath});
    }
}
BENCHMARK(BM_UnpackSqlite)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same rows copied by SQLite itself from an in-memory table into a new
// database file with the same schema and indexes.
void BM_UnpackSqliteFloor(benchmark::State& state)
{
    const std::string rows = UnpackedSqlite();
    const std::string db = SqlitePath("floor.db");
    for (auto _ : state) {
        state.PauseTiming();
        ::unlink(db.c_str());
        sqlite3* conn = nullptr;
        sqlite3_open(db.c_str(), &conn);
        SqliteExec(conn, "BEGIN");
        for (const std::string_view statement : db::CDbSchema::CreateStatements(db::CDbSchema::Dialect::Sqlite))
            SqliteExec(conn, std::string(statement));
        SqliteExec(conn, "COMMIT");
        SqliteExec(conn, "ATTACH '" + rows + "' AS source; ATTACH ':memory:' AS mem");
        SqliteExec(conn, "CREATE TABLE mem.rows AS SELECT * FROM source.chunks");
        state.ResumeTiming();
        std::string load = "BEGIN; INSERT INTO main.chunks SELECT * FROM mem.rows; ";
        for (const std::string_view statement : db::CDbSchema::IndexStatements())
            load += std::string(statement) + "; ";
        SqliteExec(conn, load + "COMMIT");
        state.PauseTiming();
        sqlite3_close(conn);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_UnpackSqliteFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PackSqlite(benchmark::State& state)
{
    const std::string rows = UnpackedSqlite();
    const std::string out = SqlitePath("packed.mob");
    for (auto _ : state)
        Mobtool({"pack", "--sqlite", rows, "1", out});
}
BENCHMARK(BM_PackSqlite)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every row of the file read back through a plain statement.
void BM_PackSqliteFloor(benchmark::State& state)
{
    const std::string rows = UnpackedSqlite();
    sqlite3* conn = nullptr;
    sqlite3_open_v2(rows.c_str(), &conn, SQLITE_OPEN_READONLY, nullptr);
    for (auto _ : state) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(conn, "SELECT * FROM chunks WHERE file_id = 1", -1, &statement, nullptr);
        std::size_t bytes = 0;
        while (sqlite3_step(statement) == SQLITE_ROW)
            bytes += static_cast<std::size_t>(sqlite3_column_bytes(statement, 11));
        sqlite3_finalize(statement);
        benchmark::DoNotOptimize(bytes);
    }
    sqlite3_close(conn);
}
BENCHMARK(BM_PackSqliteFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UnpackPostgres(benchmark::State& state)
{
    UnpackedPostgres();
    const std::string& conninfo = ThePostgres().Conninfo();
    for (auto _ : state) {
        state.PauseTiming();
        Server::Exec(conninfo, "TRUNCATE chunks, files");
        state.ResumeTiming();
        Mobtool({"--desc", BenchFile::Get().descPath, "unpack", "--postgres", conninfo, BenchFile::Get().mobPath});
    }
}
BENCHMARK(BM_UnpackPostgres)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same rows copied by the server itself from a table it holds.
void BM_UnpackPostgresFloor(benchmark::State& state)
{
    UnpackedPostgres();
    const std::string& conninfo = ThePostgres().Conninfo();
    for (auto _ : state) {
        state.PauseTiming();
        Server::Exec(conninfo, "TRUNCATE chunks, files");
        state.ResumeTiming();
        Server::Exec(conninfo, "INSERT INTO chunks SELECT * FROM bench_rows");
    }
}
BENCHMARK(BM_UnpackPostgresFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PackPostgres(benchmark::State& state)
{
    UnpackedPostgres();
    const std::string& conninfo = ThePostgres().Conninfo();
    Server::Exec(conninfo, "TRUNCATE chunks, files");
    Mobtool({"--desc", BenchFile::Get().descPath, "unpack", "--postgres", conninfo, BenchFile::Get().mobPath});
    PGconn* conn = PQconnectdb(conninfo.c_str());
    PGresult* result = PQexec(conn, "SELECT max(file_id) FROM files");
    const std::string fileId = PQgetvalue(result, 0, 0);
    PQclear(result);
    PQfinish(conn);
    const std::string out = SqlitePath("packed-pg.mob");
    for (auto _ : state)
        Mobtool({"pack", "--postgres", conninfo, fileId, out});
}
BENCHMARK(BM_PackPostgres)->Unit(benchmark::kMillisecond)->UseRealTime();

// Every row read back by the server's own bulk path, COPY in binary.
void BM_PackPostgresFloor(benchmark::State& state)
{
    const std::string& conninfo = ThePostgres().Conninfo();
    PGconn* conn = PQconnectdb(conninfo.c_str());
    for (auto _ : state) {
        PGresult* result = PQexec(conn, "COPY (SELECT * FROM chunks) TO STDOUT (FORMAT binary)");
        PQclear(result);
        std::size_t bytes = 0;
        char* buffer = nullptr;
        for (int got; (got = PQgetCopyData(conn, &buffer, 0)) > 0; PQfreemem(buffer))
            bytes += static_cast<std::size_t>(got);
        while (PGresult* rest = PQgetResult(conn))
            PQclear(rest);
        benchmark::DoNotOptimize(bytes);
    }
    PQfinish(conn);
}
BENCHMARK(BM_PackPostgresFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace qm::bench

int main(int argc, char** argv)
{
    using qm::bench::Figure;
    return qm::bench::RunWithSummary(
        argc, argv, "databases",
        {
            Figure::Time("unpack into SQLite, 1M chunks", "BM_UnpackSqlite", 3000),
            Figure::Ratio("unpack into SQLite beside its floor", "BM_UnpackSqlite", "BM_UnpackSqliteFloor", 3),
            Figure::Time("pack from SQLite, 1M chunks", "BM_PackSqlite", 2000),
            Figure::Ratio("pack from SQLite beside its floor", "BM_PackSqlite", "BM_PackSqliteFloor", 5),
            Figure::Time("unpack into PostgreSQL, 1M chunks", "BM_UnpackPostgres", 6000),
            Figure::Ratio("unpack into PostgreSQL beside its floor", "BM_UnpackPostgres", "BM_UnpackPostgresFloor", 3),
            Figure::Time("pack from PostgreSQL, 1M chunks", "BM_PackPostgres", 2000),
            Figure::Ratio("pack from PostgreSQL beside its floor", "BM_PackPostgres", "BM_PackPostgresFloor", 5),
        });
}
