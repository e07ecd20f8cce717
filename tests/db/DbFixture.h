#pragma once

#include "SqlClient.h"
#include "db/OpenChunkStore.h"
#include "tools/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace qm::db {
// Test names show the database by name rather than as bytes.
inline void PrintTo(DbTarget::Kind kind, std::ostream* out)
{
    *out << (kind == DbTarget::Kind::Sqlite ? "SQLite" : "PostgreSQL");
}
} // namespace qm::db

namespace qm::test {

// A fresh database of the kind the test is run with (a SQLite file, or a
// database of its own on the test run's PostgreSQL server), mobtool run
// in-process against it, and plain SQL.
class DbFixture : public ::testing::TestWithParam<db::DbTarget::Kind> {
protected:
    void SetUp() override;
    void TearDown() override;

    bool IsPostgres() const { return GetParam() == db::DbTarget::Kind::Postgres; }
    // A bytea or BLOB literal of hex digits, as the database spells it.
    std::string HexLiteral(const std::string& hex) const;

    int Mobtool(const std::vector<std::string>& args);
    // The database options for mobtool.
    std::vector<std::string> DbArgs() const;
    // Unpacks the files with the description file desc; their file_ids.
    std::vector<std::int64_t> Unpack(const std::vector<std::string>& paths, const std::string& desc);
    // Packs file_id and reads the result back.
    std::vector<std::uint8_t> Pack(std::int64_t fileId);

    tools::TempDir dir;
    db::DbTarget target;
    std::string out;
    std::string err;

private:
    std::string m_adminConninfo;
    std::string m_database;
};

// "Sqlite" or "Postgres", for the names of parameterised tests.
std::string KindName(const ::testing::TestParamInfo<db::DbTarget::Kind>& param);

// The test run's PostgreSQL server, as the postgres_start test left it; the
// test fails (it does not skip) when the server is not there.
std::string ServerConninfo();

} // namespace qm::test
