#include "DbFixture.h"

#include "cli/CMobTool.h"
#include "db/CDbText.h"
#include "db/CDbUnpacker.h"
#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "edit/CEditSession.h"
#include "edit/DocumentNodes.h"
#include "mob/CMobDocument.h"
#include "support/DocFixture.h"
#include "support/TestAccount.h"
#include "tools/CTypedSampleMob.h"
#include "tools/ChunkBuilder.h"

#include <sys/stat.h>
#include <unistd.h>

namespace qm::test {
namespace {

using db::DbTarget;
using tools::ChunkBuilder;

constexpr const char* kDesc = "0x00001000\tREC\tGroup\tA container\r\n"
                              "0x00002001\tBYTE\tFlag\r\n"
                              "0x00002003\tDWORD\tCount\r\n"
                              "0x00002005\tSTRING\tName\r\n";

// Node keys: file 1, Group 2 { Name 3, Count 4, Flag 5 }, Count 6.
std::vector<std::uint8_t> SmallFile(std::uint32_t count = 5, std::vector<std::uint8_t> flag = {7}, bool withCount = true,
                                    std::vector<std::uint8_t> inserted = {})
{
    ChunkBuilder b;
    b.Begin(kIdRec).Chunk(kIdString, std::string_view("Alpha\0", 6));
    if (!inserted.empty())
        b.Chunk(kIdByte, inserted);
    if (withCount)
        b.Chunk(kIdDword, tools::U32Bytes({count}));
    b.Chunk(kIdByte, flag).End().Chunk(kIdDword, tools::U32Bytes({9}));
    return b.Bytes();
}

class DbRoundTripTest : public DbFixture {
protected:
    std::string Desc(const std::string& text = kDesc)
    {
        tools::WriteFileText(dir.File("mob_desc.txt"), text);
        return dir.File("mob_desc.txt");
    }
    std::string Put(const std::vector<std::uint8_t>& bytes, const std::string& name)
    {
        tools::WriteFileBytes(dir.File(name), bytes);
        return dir.File(name);
    }
    // What the editor saves after the text is applied to the chunk with key.
    std::vector<std::uint8_t> AppliedInEditor(const std::string& path, std::int32_t key, const std::string& text)
    {
        CMobDocument doc;
        doc.SetDescFile(Desc());
        EXPECT_TRUE(doc.ReadDescFile());
        EXPECT_TRUE(doc.LoadMobFile(path));
        CEditSession session(doc);
        EXPECT_FALSE(session.ApplyText(NodeOfKey(doc, key), text).Refused());
        EXPECT_TRUE(session.SaveMobFile(dir.File("applied.mob"))) << doc.GetIoError();
        return tools::ReadFileBytes(dir.File("applied.mob"));
    }
    std::string With(std::string sql, std::int64_t fileId)
    {
        for (std::size_t at = sql.find("{F}"); at != std::string::npos; at = sql.find("{F}"))
            sql.replace(at, 3, std::to_string(fileId));
        return sql;
    }
};

TEST_P(DbRoundTripTest, EveryFilePacksBackByteForByte)
{
    const std::string examples = QUILLMERE_EXAMPLES_DIR;
    const std::vector<std::int64_t> exampleIds = Unpack({examples + "/sample.mob"}, examples + "/mob_desc.txt");

    // Generated trees of every data type, and a file with bytes that belong
    // to no chunk: after a container's last child and at the end of the file.
    std::string desc = "0x7F000001\tREC\tOdd\r\n";
    std::vector<std::string> paths;
    for (std::uint64_t seed = 1; seed <= 3; ++seed) {
        const tools::TypedSample sample = tools::CTypedSampleMob::Generate({seed, 4, 4});
        for (const auto& [id, type] : sample.truth)
            desc += TypeIdText(id) + "\t" + std::string(kDataTypeNames[static_cast<std::size_t>(type)]) + "\tT\r\n";
        paths.push_back(Put(sample.bytes, "typed" + std::to_string(seed) + ".mob"));
    }
    ChunkBuilder odd;
    odd.Begin(0x7F000001).Chunk(0x7F000002, {1, 2}).Raw({0xAA, 0xBB, 0xCC}).End().Raw({1, 2, 3, 4, 5});
    paths.push_back(Put(odd.Bytes(), "odd.mob"));
    const std::vector<std::int64_t> ids = Unpack(paths, Desc(desc));

    ASSERT_EQ(exampleIds.size(), 1u);
    EXPECT_EQ(Pack(exampleIds[0]), tools::ReadFileBytes(examples + "/sample.mob"));
    for (std::size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(Pack(ids[i]), tools::ReadFileBytes(paths[i])) << paths[i];

    // A chunk cut short by the end of its list packs as saving writes it, and
    // the user is told.
    ChunkBuilder cut;
    cut.Chunk(0x7F000002, {1}).RawHeader(0x7F000003, 100).Raw({1, 2, 3, 4});
    const std::int64_t cutId = Unpack({Put(cut.Bytes(), "cut.mob")}, Desc(desc)).at(0);
    EXPECT_NE(err.find("node key 3 has the size field 100, but only 12 bytes"), std::string::npos) << err;
    ChunkBuilder saved;
    saved.Chunk(0x7F000002, {1}).Chunk(0x7F000003, {1, 2, 3, 4});
    EXPECT_EQ(Pack(cutId), saved.Bytes());
}

TEST_P(DbRoundTripTest, EditsMadeWithSqlChangeTheFile)
{
    const std::string path = Put(SmallFile(), "small.mob");
    struct Case {
        const char* what;
        std::string sql;
        std::vector<std::uint8_t> expected;
    };
    const std::vector<Case> cases = {
        {"text of a string", "UPDATE chunks SET text = 'Beta' WHERE file_id = {F} AND node_key = 3",
         AppliedInEditor(path, 3, "Beta")},
        {"text of a number", "UPDATE chunks SET text = '1234' WHERE file_id = {F} AND node_key = 4",
         AppliedInEditor(path, 4, "1234")},
        {"payload", "UPDATE chunks SET payload = " + HexLiteral("2a000000") + " WHERE file_id = {F} AND node_key = 4",
         SmallFile(42)},
        {"deleted row",
         "DELETE FROM chunks WHERE file_id = {F} AND node_key = 4; "
         "UPDATE chunks SET position = position - 1 WHERE file_id = {F} AND parent_key = 2 AND position > 1",
         SmallFile(5, {7}, false)},
        {"inserted row",
         "UPDATE chunks SET position = position + 1 WHERE file_id = {F} AND parent_key = 2 AND position >= 1; "
         "INSERT INTO chunks (file_id, node_key, parent_key, position, depth, id, id_key, name, data_type, size, "
         "chunk_offset, payload, text) VALUES ({F}, 100, 2, 1, 2, 8193, '00002001', 'Flag', 'BYTE', 0, 0, NULL, '3')",
         SmallFile(5, {7}, true, {3})},
    };
    SqlClient sql(target);
    for (const Case& c : cases) {
        const std::int64_t fileId = Unpack({path}, Desc()).at(0);
        std::string error;
        ASSERT_TRUE(sql.Exec(With(c.sql, fileId), &error)) << c.what << ": " << error;
        EXPECT_EQ(Pack(fileId), c.expected) << c.what;
    }
    // An edit of the payload alone drops the text it no longer shows.
    EXPECT_EQ(sql.Rows("SELECT text FROM chunks WHERE file_id = 3 AND node_key = 4"), std::vector<std::string>{"NULL"});
}

TEST_P(DbRoundTripTest, InconsistentRowsAreRefusedWithTheirKey)
{
    const std::string path = Put(SmallFile(), "small.mob");
    const struct {
        std::string sql;
        std::string error;
    } cases[] = {
        {"UPDATE chunks SET position = 0 WHERE file_id = {F} AND node_key = 4",
         "node key 4 has the position 0 where 1 was expected among the children of node key 2"},
        {"UPDATE chunks SET position = 7 WHERE file_id = {F} AND node_key = 6",
         "node key 6 has the position 7 where 1 was expected among the children of the file"},
        {"UPDATE chunks SET parent_key = 99 WHERE file_id = {F} AND node_key = 3",
         "node key 3 has the parent_key 99, which is no chunk of the file"},
        {"UPDATE chunks SET parent_key = 3, position = 0 WHERE file_id = {F} AND node_key = 2; "
         "UPDATE chunks SET position = 0 WHERE file_id = {F} AND node_key = 6",
         "node key 2 is not below the top level"},
        {"UPDATE chunks SET depth = 1 WHERE file_id = {F} AND node_key = 5",
         "node key 5 has the depth 1 where 2 was expected"},
        {"UPDATE chunks SET id_key = '00002004' WHERE file_id = {F} AND node_key = 3",
         "node key 3 has the id_key '00002004', but its id 8197 has the key 00002005"},
        {"UPDATE chunks SET data_type = 'WIDGET' WHERE file_id = {F} AND node_key = 3",
         "node key 3 has the unknown data_type 'WIDGET'"},
        {"UPDATE chunks SET payload = " + HexLiteral("00") + " WHERE file_id = {F} AND node_key = 2",
         "node key 2 has children and a payload or text"},
        {"UPDATE chunks SET payload = NULL, text = NULL WHERE file_id = {F} AND node_key = 4",
         "node key 4 has neither payload nor text"},
        {"UPDATE chunks SET text = '\xE2\x98\x83' WHERE file_id = {F} AND node_key = 3",
         "the text of the chunk with node key 3 has a character at byte 0"},
        {"UPDATE quillmere_schema SET version = 99", "schema version 99, and this program reads version 1"},
    };
    SqlClient sql(target);
    const std::string outPath = dir.File("out.mob");
    for (const auto& c : cases) {
        const std::int64_t fileId = Unpack({path}, Desc()).at(0);
        ASSERT_TRUE(sql.Exec(With(c.sql, fileId)));
        tools::WriteFileText(outPath, "old");
        std::vector<std::string> args = {"pack"};
        const std::vector<std::string> db = DbArgs();
        args.insert(args.end(), db.begin(), db.end());
        args.insert(args.end(), {std::to_string(fileId), outPath});
        EXPECT_EQ(Mobtool(args), CMobTool::kExitFailed) << c.sql;
        EXPECT_NE(err.find(c.error), std::string::npos) << err;
        EXPECT_EQ(tools::ReadFileText(outPath), "old");
    }
}

TEST_P(DbRoundTripTest, AFailedUnpackLeavesTheDatabaseAsItWas)
{
    const std::string path = Put(SmallFile(), "small.mob");
    Unpack({path}, Desc());
    SqlClient sql(target);
    const std::string snapshot = "SELECT (SELECT count(*) FROM files) || ' ' || (SELECT count(*) FROM chunks) || ' ' || "
                                 "(SELECT name FROM descriptions WHERE id_key = '00001000')";
    const std::vector<std::string> before = sql.Rows(snapshot);
    ASSERT_EQ(before, std::vector<std::string>{"1 5 Group"});

    std::vector<std::pair<std::string, std::string>> failures = {
        {"CREATE TRIGGER refuse BEFORE INSERT ON chunks WHEN NEW.node_key = 5 "
         "BEGIN SELECT RAISE(ABORT, 'refused by a trigger'); END",
         "refused by a trigger"}};
    if (IsPostgres()) {
        failures = {
            {"CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF NEW.node_key = 5 THEN "
             "RAISE EXCEPTION 'refused by a trigger'; END IF; RETURN NEW; END $$; "
             "CREATE TRIGGER refuse BEFORE INSERT ON chunks FOR EACH ROW EXECUTE FUNCTION refuse()",
             "refused by a trigger"},
            // The server ends the session half-way through the load.
            {"CREATE OR REPLACE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN IF NEW.node_key = 5 "
             "THEN PERFORM pg_terminate_backend(pg_backend_pid()); END IF; RETURN NEW; END $$",
             "terminat"}};
    }
    const std::string renamed = Desc("0x00001000\tREC\tRenamed\r\n");
    for (const auto& [trigger, reason] : failures) {
        std::string error;
        ASSERT_TRUE(sql.Exec(trigger, &error)) << error;
        std::vector<std::string> args = {"--desc", renamed, "unpack"};
        const std::vector<std::string> db = DbArgs();
        args.insert(args.end(), db.begin(), db.end());
        args.push_back(path);
        EXPECT_EQ(Mobtool(args), CMobTool::kExitFailed);
        EXPECT_NE(err.find(reason), std::string::npos) << err;
        EXPECT_EQ(sql.Rows(snapshot), before);
    }
}

TEST_P(DbRoundTripTest, HostileNamesAndDescriptionsAreStoredAsTheyAre)
{
    using namespace std::string_literals;
    const std::string name = "O'Brien\"; DROP TABLE chunks; --\0\x93tail"s;
    const std::string description = "'); DELETE FROM files; \0\\x00"s;
    const std::string path = Put(SmallFile(), "it's; DROP TABLE files; --.mob");
    CMobDocument doc;
    doc.ReplaceEntry("00001000", CFieldDesc{"", "Group", "REC"});
    doc.ReplaceEntry("00002005", CFieldDesc{description, name, "STRING"});
    ASSERT_TRUE(doc.LoadMobFile(path));
    std::string error;
    const std::unique_ptr<db::IChunkStore> store = db::OpenChunkStore(target, true, error);
    ASSERT_TRUE(store) << error;
    db::CDbUnpacker unpacker(*store);
    ASSERT_TRUE(unpacker.Begin(doc)) << unpacker.Error();
    const std::optional<std::int64_t> fileId = unpacker.AddFile(doc, doc.Tree().GetRootItem(), path);
    ASSERT_TRUE(fileId && unpacker.Commit()) << unpacker.Error();

    SqlClient sql(target);
    const std::vector<std::string> rows =
        sql.Rows("SELECT d.name, d.description, c.name, f.source FROM descriptions d, chunks c, files f "
                 "WHERE d.id_key = '00002005' AND c.id_key = d.id_key AND f.file_id = c.file_id");
    ASSERT_EQ(rows.size(), 1u);
    const std::string expected = db::CDbText::FromEightBit(name) + "|" + db::CDbText::FromEightBit(description) +
                                 "|" + db::CDbText::FromEightBit(name) + "|" + path;
    EXPECT_EQ(rows[0], expected);
    std::string back;
    ASSERT_TRUE(db::CDbText::ToEightBit(db::CDbText::FromEightBit(name), back));
    EXPECT_EQ(back, name);
    EXPECT_EQ(Pack(*fileId), tools::ReadFileBytes(path));
}

INSTANTIATE_TEST_SUITE_P(Databases, DbRoundTripTest, ::testing::Values(DbTarget::Kind::Sqlite, DbTarget::Kind::Postgres),
                         KindName);

class SqliteFileTest : public DbRoundTripTest {};

TEST_P(SqliteFileTest, AReadOnlyOrForeignDatabaseIsLeftAlone)
{
    const std::string path = Put(SmallFile(), "small.mob");
    Unpack({path}, Desc());
    ::chmod(target.location.c_str(), 0444);
    const std::vector<std::uint8_t> before = tools::ReadFileBytes(target.location);
    const std::optional<Account> account = TestAccount();
    const std::string desc = Desc();
    // The account reads the files, but neither the database nor its folder
    // is its to write.
    ::chmod(dir.Path().c_str(), 0755);
    const std::string error = RunAs(account.value_or(Account{::getuid(), ::getgid(), {}}), [&] {
        Mobtool({"--desc", desc, "unpack", "--sqlite", target.location, path});
        return err;
    });
    EXPECT_NE(error.find("attempt to write a readonly database"), std::string::npos) << error;
    EXPECT_EQ(tools::ReadFileBytes(target.location), before);

    SqlClient foreign({DbTarget::Kind::Sqlite, dir.File("foreign.db")});
    foreign.Exec("CREATE TABLE files (x INTEGER)");
    EXPECT_EQ(Mobtool({"--desc", Desc(), "unpack", "--sqlite", dir.File("foreign.db"), path}), CMobTool::kExitFailed);
    EXPECT_NE(err.find("has a table files but no Quillmere schema version"), std::string::npos) << err;
    EXPECT_EQ(Mobtool({"unpack", "--sqlite", "a.db"}), CMobTool::kExitUsage);
    EXPECT_EQ(Mobtool({"tree", "--sqlite", "a.db", path}), CMobTool::kExitUsage);
    EXPECT_EQ(Mobtool({"pack", "--sqlite", "a.db", "one", "out.mob"}), CMobTool::kExitUsage);
}

INSTANTIATE_TEST_SUITE_P(Sqlite, SqliteFileTest, ::testing::Values(DbTarget::Kind::Sqlite),
                         [](const auto&) { return std::string("File"); });

} // namespace
} // namespace qm::test
