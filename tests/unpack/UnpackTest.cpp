#include "cli/CMobTool.h"
#include "codec/FormatChunkData.h"
#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "edit/CEditSession.h"
#include "mob/CMobDocument.h"
#include "support/DocFixture.h"
#include "tools/CSyntheticMob.h"
#include "tools/CTypedSampleMob.h"
#include "tools/ChunkBuilder.h"
#include "unpack/CPackReader.h"
#include "unpack/CUnpackWriter.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <map>
#include <sstream>

namespace qm {
namespace {

using tools::ChunkBuilder;

std::string DescriptionOf(const std::map<std::uint32_t, std::int32_t>& types)
{
    std::string text;
    for (const auto& [id, type] : types)
        text += "0x" + IdKey(id) + "\t" + std::string(kDataTypeNames[static_cast<std::size_t>(type)]) + "\tT" +
                IdKey(id) + "\r\n";
    return text;
}

// The ids the load fuzz target nests its corpus with.
constexpr std::string_view kCorpusDescription =
    "0x00000000\tREC\tZERO\r\n0x00000001\tREC\tONE\r\n0xFFFFFFFF\tREC\tALL\r\n0x00010000\tREC\tGROUP\r\n"
    "0x00010001\trec\tLIST\r\n0x00010002\tREC\tENTRY\r\n0x00020001\tBYTE\tFLAG\r\n0x00020005\tSTRING\tNAME\r\n"
    "0x00000002\tDWORD\tTWO\r\n";

class UnpackTest : public ::testing::Test {
protected:
    // A fresh document over descText with the file at mobPath loaded.
    void LoadWith(std::string_view descText, const std::string& mobPath)
    {
        doc = std::make_unique<CMobDocument>();
        tools::WriteFileText(dir.File("mob_desc.txt"), descText);
        doc->SetDescFile(dir.File("mob_desc.txt"));
        ASSERT_TRUE(doc->ReadDescFile()) << doc->GetError();
        ASSERT_TRUE(doc->LoadMobFile(mobPath)) << doc->GetIoError();
    }

    std::string Unpack(const std::string& jsonName = "doc.json")
    {
        CUnpackWriter writer(*doc);
        const std::string json = dir.File(jsonName);
        EXPECT_TRUE(writer.WriteFile(doc->Tree().GetRootItem(), "in.mob", json)) << writer.GetError();
        return json;
    }

    std::vector<std::uint8_t> Pack(const std::string& json)
    {
        std::string error;
        EXPECT_TRUE(PackFile(json, dir.File("packed.mob"), {}, error)) << error;
        return tools::ReadFileBytes(dir.File("packed.mob"));
    }

    std::vector<std::uint8_t> Saved()
    {
        EXPECT_TRUE(doc->SaveMobFile(dir.File("saved.mob"))) << doc->GetIoError();
        return tools::ReadFileBytes(dir.File("saved.mob"));
    }

    int Tool(std::vector<std::string> args)
    {
        out.str("");
        err.str("");
        CMobTool tool(out, err);
        return tool.Run(args);
    }

    tools::TempDir dir;
    std::unique_ptr<CMobDocument> doc;
    std::ostringstream out;
    std::ostringstream err;
};

// Well-formed files come back byte for byte; a file with stray bytes or a
// chunk cut short comes back as Save writes it.
TEST_F(UnpackTest, PackOfUnpackIsTheFileOrWhatSaveWrites)
{
    struct Case {
        std::string name;
        std::string desc;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"sample", tools::ReadFileText(QUILLMERE_EXAMPLES "/mob_desc.txt"),
                     tools::ReadFileBytes(QUILLMERE_EXAMPLES "/sample.mob")});
    for (std::uint64_t seed = 1; seed <= 3; ++seed) {
        tools::SyntheticOptions synthetic;
        synthetic.seed = seed;
        synthetic.chunkCount = 3000;
        cases.push_back({"synthetic " + std::to_string(seed), tools::CSyntheticMob::DescriptionText(),
                         tools::CSyntheticMob::Generate(synthetic)});
        tools::TypedSampleOptions typed;
        typed.seed = seed;
        tools::TypedSample sample = tools::CTypedSampleMob::Generate(typed);
        cases.push_back({"typed " + std::to_string(seed), DescriptionOf(sample.truth), std::move(sample.bytes)});
    }
    for (const std::string& name : tools::ListFolder(QUILLMERE_FUZZ_CORPUS)) {
        auto bytes = tools::ReadFileBytes(std::string(QUILLMERE_FUZZ_CORPUS "/") + name);
        if (!bytes.empty())
            cases.push_back({"corpus " + name, std::string(kCorpusDescription), std::move(bytes)});
    }

    int wellFormed = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tools::WriteFileBytes(dir.File("in.mob"), c.bytes);
        LoadWith(c.desc, dir.File("in.mob"));
        const bool clean = doc->NodesWithTrailingBytes().empty() && doc->ChunksCutShort().empty();
        const auto packed = Pack(Unpack());
        EXPECT_EQ(packed, Saved());
        if (clean) {
            ++wellFormed;
            EXPECT_EQ(packed, c.bytes);
        }
    }
    EXPECT_GT(wellFormed, 10);
}

TEST_F(UnpackTest, StrayBytesAndChunksCutShortAreWarnedOfByPath)
{
    ChunkBuilder b;
    b.Begin(test::kIdRec).Chunk(test::kIdByte, {7}).Raw({0xAA, 0xBB}).End();
    b.Begin(test::kIdRec).RawHeader(test::kIdString, 100).Raw({'a', 'b'}).End();
    tools::WriteFileBytes(dir.File("in.mob"), b.Bytes());
    LoadWith("0x00001000\tREC\tGroup\r\n", dir.File("in.mob"));

    const std::string json = tools::ReadFileText(Unpack());
    EXPECT_NE(json.find("\"warnings\": [\n"
                        "    \"chunk 00001000:0: 2 bytes after the last chunk of this list belong to no chunk; they "
                        "are kept under \\\"trailing\\\".\",\n"
                        "    \"chunk 00001000:1/00002005:0: its size field says 100 bytes, but only 10"),
              std::string::npos)
        << json;
    EXPECT_EQ(Pack(dir.File("doc.json")), Saved());
}

// Every leaf with a text form takes the text of an earlier leaf of its type,
// in the document and, through the edit session, in the editor: both give
// the same file.
TEST_F(UnpackTest, EditedTextPacksAsTheEditorAppliesIt)
{
    tools::TypedSampleOptions options;
    options.seed = 7;
    const tools::TypedSample sample = tools::CTypedSampleMob::Generate(options);
    tools::WriteFileBytes(dir.File("in.mob"), sample.bytes);
    LoadWith(DescriptionOf(sample.truth), dir.File("in.mob"));
    const std::string jsonText = tools::ReadFileText(Unpack());
    rapidjson::Document json;
    ASSERT_FALSE(json.Parse(jsonText.c_str()).HasParseError());

    CEditSession session(*doc);
    std::map<std::int32_t, std::pair<std::string, std::string>> donors;  // type: JSON text, pane text
    int edits = 0;
    std::vector<rapidjson::Value*> pending;
    for (auto& chunk : json["chunks"].GetArray())
        pending.push_back(&chunk);
    const CChunkTree& tree = doc->Tree();
    const NodeId file = tree.GetRootItem();
    std::size_t next = 0;
    for (NodeId node = tree.GetChildItem(file); node != kNoNode; node = tree.NextInPreOrder(node, file)) {
        ASSERT_LT(next, pending.size());
        rapidjson::Value& chunk = *pending[next++];
        if (chunk.HasMember("children")) {
            std::vector<rapidjson::Value*> children;
            for (auto& child : chunk["children"].GetArray())
                children.push_back(&child);
            pending.insert(pending.begin() + static_cast<std::ptrdiff_t>(next), children.begin(), children.end());
            continue;
        }
        if (!chunk.HasMember("text"))
            continue;
        const CMobChunk& rec = *doc->Chunks().Lookup(tree.GetItemData(node));
        std::string jsonValue = chunk["text"].GetString();
        std::string paneText = FormatChunkData(rec.m_nDataType, rec.m_pData.get(), rec.m_nSize);
        const auto donor = donors.find(rec.m_nDataType);
        if (donor != donors.end() && donor->second.first != jsonValue) {
            ASSERT_FALSE(session.ApplyText(node, donor->second.second).Refused())
                << kDataTypeNames[static_cast<std::size_t>(rec.m_nDataType)] << " " << donor->second.second;
            chunk["text"].SetString(donor->second.first.c_str(), json.GetAllocator());
            ++edits;
        }
        // Some types refuse empty text, in the editor as in a document.
        if (!paneText.empty())
            donors[rec.m_nDataType] = {std::move(jsonValue), std::move(paneText)};
    }
    EXPECT_GT(edits, 50);

    rapidjson::StringBuffer buffer;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
    json.Accept(writer);
    tools::WriteFileText(dir.File("edited.json"), buffer.GetString());
    EXPECT_EQ(Pack(dir.File("edited.json")), Saved());
}

// Bad input to pack: the reason with its place, exit status 1, and the
// output file as it was.
TEST_F(UnpackTest, PackRefusesBadDocumentsWithTheirPlace)
{
    const std::string head = R"({"format": "quillmere-unpacked", "version": 1, "chunks": [)";
    const struct {
        std::string json;
        std::string error;
    } cases[] = {
        {"", ":1:1: malformed JSON: The document is empty."},
        {head + R"({"id": "00002003", "type": "DWORD", "text": "1"})",
         ":1:107: malformed JSON: Missing a comma or ']' after an array element."},
        {"[]", ":1:1: an unpacked document is a JSON object"},
        {R"({"format": "quillmere-unpacked", "version": 2, "chunks": []})", ":1:45: this program reads version 1"},
        {R"({"format": "quillmere-unpacked", "version": 1})", ":1:1: the document has no \"chunks\""},
        {head + R"(], "colour": 1})", ":1:62: unknown field \"colour\" in the document"},
        {head + "{\"id\": \"00002003\",\n \"type\": \"DWORD\", \"hue\": 1}]}",
         ":2:19: unknown field \"hue\" in a chunk (chunk 00002003:0)"},
        {head + R"({"id": "2003", "hex": ""}]})", ":1:66: \"id\" must be 8 hexadecimal digits, not \"2003\" (chunk #0)"},
        {head + R"({"hex": "00"}]})", "the chunk has no \"id\" (chunk #0)"},
        {head + R"({"id": "00001000", "type": "REC", "children": [{"id": "00002003", "hex": "0g"}]}]})",
         "the hex string holds \"g\", which is no hexadecimal digit (chunk 00001000:0/00002003:0)"},
        {head + R"({"id": "00002003", "hex": "012"}]})", "the hex string has an odd number of digits"},
        {head + R"({"id": "00002003", "type": "RECT", "text": "1,2"}]})",
         "the text cannot be read as RECT (chunk 00002003:0)"},
        {head + R"({"id": "00002003", "type": "STRING", "text": "\u4e00"}]})",
         "the text holds a character that Windows-1252 text cannot hold"},
        {head + R"({"id": "00002003", "type": "LONG", "hex": ""}]})", "\"LONG\" is no data type"},
        {head + R"({"id": "00002003", "type": "DWORD", "children": []}]})",
         "only a chunk of type REC can have \"children\""},
        {head + R"({"id": "00002003", "type": "DWORD", "text": 5}]})", "\"text\" must be a string, not a number"},
        {head + R"({"id": "00002003", "id": "00002003", "hex": ""}]})", "the field \"id\" is given twice"},
        {head + "]}", "the document holds no bytes"},
    };
    const std::string json = dir.File("bad.json");
    const std::string mob = dir.File("out.mob");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.json);
        tools::WriteFileText(json, c.json);
        tools::WriteFileText(mob, "as it was");
        EXPECT_EQ(Tool({"pack", json, mob}), CMobTool::kExitFailed);
        EXPECT_NE(err.str().find(c.error), std::string::npos) << err.str();
        EXPECT_EQ(err.str().rfind("mobtool: " + json, 0), 0u) << err.str();
        EXPECT_EQ(tools::ReadFileText(mob), "as it was");
    }
}

TEST_F(UnpackTest, DiffListsEachDifferenceInTreeOrder)
{
    tools::WriteFileText(dir.File("mob_desc.txt"), "0x00001000\tREC\tGroup\r\n0x00002003\tDWORD\tCount\r\n"
                                                   "0x00002005\tSTRING\tName\r\n0x00002001\tBYTE\tFlag\r\n");
    const std::string desc = "--desc=" + dir.File("mob_desc.txt");
    const std::string longName(100, 'x');
    ChunkBuilder a;
    a.Begin(0x1000).Chunk(0x2003, tools::U32Bytes({5})).Chunk(0x2005, "one").Chunk(0x2005, longName + '\0');
    a.Chunk(0x7777, {1, 2, 3}).Begin(0x1000).Chunk(0x2001, {1}).End().End();
    a.Chunk(0x2001, {4});
    ChunkBuilder b;
    b.Begin(0x1000).Chunk(0x2003, tools::U32Bytes({6})).Chunk(0x2005, "one").Chunk(0x2005, longName + "y" + '\0');
    b.Chunk(0x7777, {1, 9, 3, 4}).Chunk(0x2001, {2}).End();
    b.Chunk(0x2001, {4});
    tools::WriteFileBytes(dir.File("a.mob"), a.Bytes());
    tools::WriteFileBytes(dir.File("b.mob"), b.Bytes());

    EXPECT_EQ(Tool({desc, "diff", dir.File("a.mob"), dir.File("b.mob")}), 1) << err.str();
    EXPECT_EQ(out.str(), "~ 00001000:0/00002003:0 (Count) 5 -> 6\n"
                         "~ 00001000:0/00002005:1 (Name) 2 bytes differ\n"
                         "~ 00001000:0/00007777:0 2 bytes differ\n"
                         "+ 00001000:0/00002001:0 (Flag)\n"
                         "- 00001000:0/00001000:0 (Group)\n");

    // An unpacked document is compared as the file it packs to.
    LoadWith(tools::ReadFileText(dir.File("mob_desc.txt")), dir.File("a.mob"));
    const std::string json = Unpack("a.json");
    EXPECT_EQ(Tool({desc, "diff", json, dir.File("a.mob")}), 0) << err.str();
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(Tool({desc, "diff", json, dir.File("missing.mob")}), 2);
}

} // namespace
} // namespace qm
