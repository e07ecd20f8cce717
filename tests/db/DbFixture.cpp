#include "DbFixture.h"

#include "cli/CMobTool.h"

#include <atomic>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace qm::test {

std::string ServerConninfo()
{
    const char* state = std::getenv("QUILLMERE_PG_STATE");
    const std::string path = std::string(state ? state : "") + "/conninfo";
    std::ifstream file(path);
    std::string conninfo;
    std::getline(file, conninfo);
    return conninfo;
}

std::string KindName(const ::testing::TestParamInfo<db::DbTarget::Kind>& param)
{
    return param.param == db::DbTarget::Kind::Sqlite ? "Sqlite" : "Postgres";
}

void DbFixture::SetUp()
{
    if (!IsPostgres()) {
        target = {db::DbTarget::Kind::Sqlite, dir.File("unpacked.db")};
        return;
    }
    m_adminConninfo = ServerConninfo();
    ASSERT_FALSE(m_adminConninfo.empty())
        << "the test run's PostgreSQL server is not running: see the output of the postgres_start test";
    static std::atomic<int> counter{0};
    m_database = "qm_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    SqlClient admin({db::DbTarget::Kind::Postgres, m_adminConninfo});
    std::string error;
    ASSERT_TRUE(admin.Exec("CREATE DATABASE " + m_database, &error)) << error;
    target = {db::DbTarget::Kind::Postgres, m_adminConninfo + " dbname=" + m_database};
}

void DbFixture::TearDown()
{
    if (m_database.empty())
        return;
    SqlClient admin({db::DbTarget::Kind::Postgres, m_adminConninfo});
    admin.Exec("DROP DATABASE IF EXISTS " + m_database + " WITH (FORCE)");
}

std::string DbFixture::HexLiteral(const std::string& hex) const
{
    return IsPostgres() ? "'\\x" + hex + "'::bytea" : "X'" + hex + "'";
}

std::vector<std::string> DbFixture::DbArgs() const
{
    return {IsPostgres() ? "--postgres" : "--sqlite", target.location};
}

int DbFixture::Mobtool(const std::vector<std::string>& args)
{
    std::ostringstream outStream;
    std::ostringstream errStream;
    CMobTool tool(outStream, errStream);
    const int status = tool.Run(args);
    out = outStream.str();
    err = errStream.str();
    return status;
}

std::vector<std::int64_t> DbFixture::Unpack(const std::vector<std::string>& paths, const std::string& desc)
{
    std::vector<std::string> args = {"--desc", desc, "unpack"};
    const std::vector<std::string> db = DbArgs();
    args.insert(args.end(), db.begin(), db.end());
    args.insert(args.end(), paths.begin(), paths.end());
    EXPECT_EQ(Mobtool(args), CMobTool::kExitOk) << err;
    std::vector<std::int64_t> ids;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        ids.push_back(std::stoll(line.substr(line.rfind(' ') + 1)));
    EXPECT_EQ(ids.size(), paths.size()) << out;
    return ids;
}

std::vector<std::uint8_t> DbFixture::Pack(std::int64_t fileId)
{
    const std::string path = dir.File("packed-" + std::to_string(fileId) + ".mob");
    std::vector<std::string> args = {"pack"};
    const std::vector<std::string> db = DbArgs();
    args.insert(args.end(), db.begin(), db.end());
    args.insert(args.end(), {std::to_string(fileId), path});
    if (Mobtool(args) != CMobTool::kExitOk) {
        ADD_FAILURE() << err;
        return {};
    }
    return tools::ReadFileBytes(path);
}

} // namespace qm::test
