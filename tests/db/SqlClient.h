#pragma once

#include "db/OpenChunkStore.h"

#include <string>
#include <vector>

struct sqlite3;
struct pg_conn;

namespace qm::test {

// Plain SQL against either database, as a user at a SQL prompt types it.
// Failures are test failures; rows come back with columns joined by '|'
// and NULL written as "NULL".
class SqlClient {
public:
    explicit SqlClient(const db::DbTarget& target);
    ~SqlClient();
    SqlClient(const SqlClient&) = delete;
    SqlClient& operator=(const SqlClient&) = delete;

    // Runs the statements; false, with the database's message, when one fails.
    bool Exec(const std::string& sql, std::string* error = nullptr);
    std::vector<std::string> Rows(const std::string& sql);

private:
    sqlite3* m_sqlite = nullptr;
    pg_conn* m_pg = nullptr;
};

} // namespace qm::test
