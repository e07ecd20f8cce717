#include "SqlClient.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace qm::test {

SqlClient::SqlClient(const db::DbTarget& target)
{
    if (target.kind == db::DbTarget::Kind::Sqlite) {
        EXPECT_EQ(sqlite3_open(target.location.c_str(), &m_sqlite), SQLITE_OK);
        return;
    }
    m_pg = PQconnectdb(target.location.c_str());
    EXPECT_EQ(PQstatus(m_pg), CONNECTION_OK) << PQerrorMessage(m_pg);
}

SqlClient::~SqlClient()
{
    sqlite3_close(m_sqlite);
    PQfinish(m_pg);
}

bool SqlClient::Exec(const std::string& sql, std::string* error)
{
    if (m_sqlite) {
        char* message = nullptr;
        const bool ok = sqlite3_exec(m_sqlite, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
        if (!ok && error)
            *error = message ? message : "";
        sqlite3_free(message);
        return ok;
    }
    PGresult* result = PQexec(m_pg, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok && error)
        *error = PQerrorMessage(m_pg);
    PQclear(result);
    return ok;
}

std::vector<std::string> SqlClient::Rows(const std::string& sql)
{
    std::vector<std::string> rows;
    if (m_sqlite) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_sqlite, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sql << ": " << sqlite3_errmsg(m_sqlite);
            return rows;
        }
        while (sqlite3_step(statement) == SQLITE_ROW) {
            std::string row;
            for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                if (c)
                    row += '|';
                if (sqlite3_column_type(statement, c) == SQLITE_NULL)
                    row += "NULL";
                else
                    row.append(reinterpret_cast<const char*>(sqlite3_column_text(statement, c)),
                               static_cast<std::size_t>(sqlite3_column_bytes(statement, c)));
            }
            rows.push_back(row);
        }
        sqlite3_finalize(statement);
        return rows;
    }
    PGresult* result = PQexec(m_pg, sql.c_str());
    if (PQresultStatus(result) != PGRES_TUPLES_OK) {
        ADD_FAILURE() << sql << ": " << PQerrorMessage(m_pg);
        PQclear(result);
        return rows;
    }
    for (int r = 0; r < PQntuples(result); ++r) {
        std::string row;
        for (int c = 0; c < PQnfields(result); ++c) {
            if (c)
                row += '|';
            row += PQgetisnull(result, r, c) ? "NULL" : PQgetvalue(result, r, c);
        }
        rows.push_back(row);
    }
    PQclear(result);
    return rows;
}

} // namespace qm::test
