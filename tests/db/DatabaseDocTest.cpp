#include "DbFixture.h"

#include "tools/TempDir.h"

namespace qm::test {
namespace {

struct Example {
    std::string sql;
    std::vector<std::string> rows;
    bool hasRows = false;
};

// Every ```sql block of the document, with the ```text block of rows that
// follows it before the next query, if any.
std::vector<Example> ExamplesOf(const std::string& doc)
{
    std::vector<Example> examples;
    const std::string fence = "```";
    for (std::size_t at = doc.find(fence); at != std::string::npos;) {
        const std::size_t lineEnd = doc.find('\n', at);
        const std::string kind = doc.substr(at + 3, lineEnd - at - 3);
        const std::size_t close = doc.find("\n" + fence, lineEnd);
        const std::string body = doc.substr(lineEnd + 1, close - lineEnd);
        if (kind == "sql") {
            examples.push_back({body, {}, false});
        } else if (kind == "text" && !examples.empty() && !examples.back().hasRows) {
            examples.back().hasRows = true;
            for (std::size_t line = 0; line < body.size();) {
                const std::size_t end = body.find('\n', line);
                examples.back().rows.push_back(body.substr(line, end - line));
                line = end + 1;
            }
        }
        at = doc.find(fence, close + 4);
    }
    return examples;
}

using DatabaseDocTest = DbFixture;

TEST_P(DatabaseDocTest, TheDocumentedQueriesGiveTheDocumentedRows)
{
    const std::string examples = QUILLMERE_EXAMPLES_DIR;
    Unpack({examples + "/sample.mob", examples + "/sample.mob"}, examples + "/mob_desc.txt");
    const std::vector<Example> queries = ExamplesOf(tools::ReadFileText(QUILLMERE_DATABASE_DOC));
    ASSERT_GE(queries.size(), 5u);
    SqlClient sql(target);
    for (const Example& example : queries) {
        if (!example.hasRows) {
            std::string error;
            EXPECT_TRUE(sql.Exec(example.sql, &error)) << example.sql << error;
            continue;
        }
        EXPECT_EQ(sql.Rows(example.sql), example.rows) << example.sql;
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, DatabaseDocTest,
                         ::testing::Values(db::DbTarget::Kind::Sqlite, db::DbTarget::Kind::Postgres),
                         KindName);

} // namespace
} // namespace qm::test
