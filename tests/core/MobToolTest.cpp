#include "cli/CMobTool.h"

#include "tools/ChunkBuilder.h"
#include "support/DocFixture.h"
#include "support/LateFifo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace qm {
namespace {

using tools::ChunkBuilder;

class MobToolTest : public test::DocFixture {
protected:
    int Run(std::vector<std::string> args)
    {
        out.str("");
        err.str("");
        CMobTool tool(out, err);
        return tool.Run(args);
    }
    std::string Desc() const { return "--desc=" + dir.File("mob_desc.txt"); }

    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(MobToolTest, UsageErrorsExitWithTwo)
{
    const std::vector<std::vector<std::string>> cases = {
        {}, {"frobnicate"}, {"tree"}, {"save", "a.mob"}, {"show", "a", "1", "x"}, {"--bogus", "tree", "a"}, {"--desc"},
    };
    for (const auto& args : cases) {
        EXPECT_EQ(Run(args), CMobTool::kExitUsage) << ::testing::PrintToString(args);
        EXPECT_NE(err.str().find("Usage: mobtool"), std::string::npos);
    }
    EXPECT_EQ(Run({"--version"}), CMobTool::kExitOk);
    EXPECT_EQ(out.str(), "mobtool 0.5.0.2\n");
    EXPECT_EQ(Run({"--help"}), CMobTool::kExitOk);
    EXPECT_NE(out.str().find("apply FILE KEY TEXTFILE OUT"), std::string::npos);
}

TEST_F(MobToolTest, MissingDescriptionFileFailsWithItsError)
{
    EXPECT_EQ(Run({"--desc", dir.File("nope.txt"), "tree", "x.mob"}), CMobTool::kExitFailed);
    EXPECT_EQ(err.str(), "Error while open description file: \n" + dir.File("nope.txt") + ": No such file or directory\n");
}

TEST_F(MobToolTest, TreePrintsEveryNodeAndGoesOnAfterAFailedFile)
{
    ChunkBuilder b;
    b.Begin(test::kIdRec).Chunk(test::kIdByte, {7}).End().Chunk(test::kIdUnknown, {1, 2});
    const std::string path = Put(b.Bytes(), "t.mob");
    Put({}, "empty.mob");
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);

    EXPECT_EQ(Run({Desc(), "tree", "t.mob", "empty.mob", "t.mob"}), CMobTool::kExitFailed);
    EXPECT_EQ(out.str(),
              "1\t0\t00000000\t0\t0\t0x00000000\tt.mob\n"
              "2\t1\t00001000\t6\t9\t0x00000000\tGroup\n"
              "3\t2\t00002001\t1\t1\t0x00000008\tFlag\n"
              "4\t1\t00007777\t0\t2\t0x00000011\t\n"
              "5\t0\t00000000\t0\t0\t0x00000000\tt.mob\n"
              "6\t1\t00001000\t6\t9\t0x00000000\tGroup\n"
              "7\t2\t00002001\t1\t1\t0x00000008\tFlag\n"
              "8\t1\t00007777\t0\t2\t0x00000011\t\n");
    EXPECT_EQ(err.str(), "Load error! empty.mob: the file is empty\n");

    EXPECT_EQ(Run({Desc(), "stat", "t.mob"}), CMobTool::kExitOk);
    EXPECT_EQ(out.str(), "nodes 4\npayload_bytes 3\nmax_depth 2\n");
}

TEST_F(MobToolTest, TreeShortensFileNamesByCharacters)
{
    std::string e8, e26;
    for (int i = 0; i < 8; ++i)
        e8 += "\xC3\xA9";  // é
    for (int i = 0; i < 26; ++i)
        e26 += "\xC3\xA9";
    const std::string name = e8 + "\xC3\xA9\xC3\xA9" + e26 + ".mob";  // 40 characters, 76 bytes
    Put(ChunkBuilder().Chunk(test::kIdUnknown, {1}).Bytes(), name);
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);

    EXPECT_EQ(Run({Desc(), "tree", name}), CMobTool::kExitOk);
    EXPECT_EQ(out.str(), "1\t0\t00000000\t0\t0\t0x00000000\t" + e8 + "..." + e26 + ".mob\n"
                         "2\t1\t00007777\t0\t1\t0x00000000\t\n");
}

// A file name may hold any byte; each node still gets one line of its own.
TEST_F(MobToolTest, TreeWritesControlBytesOfLabelsAsHex)
{
    ChunkBuilder b;
    b.Chunk(test::kIdByte, {7});
    Put(b.Bytes(), "odd\n2\t0\t00000000\x01\x7F\\\xC3\xA9.mob");
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    EXPECT_EQ(Run({Desc(), "tree", "odd\n2\t0\t00000000\x01\x7F\\\xC3\xA9.mob"}), CMobTool::kExitOk);
    EXPECT_EQ(out.str(), "1\t0\t00000000\t0\t0\t0x00000000\todd\\x0A2\\x090\\x0900000000\\x01\\x7F\\\xC3\xA9.mob\n"
                         "2\t1\t00002001\t1\t1\t0x00000000\tFlag\n");
}

TEST_F(MobToolTest, SaveReportsOnlyAfterTheWrite)
{
    ChunkBuilder b;
    b.Chunk(test::kIdString, "abc");
    const std::string path = Put(b.Bytes(), "s.mob");

    EXPECT_EQ(Run({Desc(), "save", path, dir.File("copy.mob")}), CMobTool::kExitOk);
    EXPECT_EQ(out.str(), "Saved file: " + dir.File("copy.mob") + "\n");
    EXPECT_EQ(tools::ReadFileBytes(dir.File("copy.mob")), b.Bytes());

    EXPECT_EQ(Run({Desc(), "save", path, dir.File("no/such/dir.mob")}), CMobTool::kExitFailed);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str().rfind("Save error! ", 0), 0u) << err.str();
}

TEST_F(MobToolTest, ShowAndApplyGoThroughTheCodec)
{
    ChunkBuilder b;
    b.Chunk(test::kIdByte, {200}).Chunk(test::kIdRect, tools::U32Bytes({1, 2, 3, 4}));
    const std::string path = Put(b.Bytes(), "c.mob");

    EXPECT_EQ(Run({Desc(), "show", path, "3"}), CMobTool::kExitOk);
    EXPECT_EQ(out.str(), "1,3,4,2");
    EXPECT_EQ(Run({Desc(), "show", path, "9"}), CMobTool::kExitFailed);
    EXPECT_EQ(err.str(), "mobtool: no chunk with node key 9\n");

    tools::WriteFileText(dir.File("good.txt"), "300");
    EXPECT_EQ(Run({Desc(), "apply", path, "2", dir.File("good.txt"), dir.File("out.mob")}), CMobTool::kExitOk);
    EXPECT_EQ(tools::ReadFileBytes(dir.File("out.mob"))[8], 44);

    // A FIFO whose writer comes late is read as the writer meant it.
    const std::string fifo = dir.File("late.txt");
    const pid_t writer = test::MakeLateFifo(fifo, "77");
    EXPECT_EQ(Run({Desc(), "apply", path, "2", fifo, dir.File("out.mob")}), CMobTool::kExitOk) << err.str();
    EXPECT_EQ(tools::ReadFileBytes(dir.File("out.mob"))[8], 77);
    ::waitpid(writer, nullptr, 0);

    tools::WriteFileText(dir.File("bad.txt"), "1,2,3");
    EXPECT_EQ(Run({Desc(), "apply", path, "3", dir.File("bad.txt"), dir.File("never.mob")}), CMobTool::kExitFailed);
    EXPECT_EQ(err.str(), "An error occured\nwhile updating data!\n");
    EXPECT_EQ(::access(dir.File("never.mob").c_str(), F_OK), -1);
}

TEST_F(MobToolTest, HexdumpPrintsTheBytesAContainerWillBeSavedAs)
{
    ChunkBuilder b;
    b.Chunk(test::kIdUnknown, "0123456789abcdef\x01~").Begin(test::kIdRec).Chunk(test::kIdByte, {7}).End();
    b.Chunk(test::kIdUnknown, std::vector<std::uint8_t>{});
    const std::string path = Put(b.Bytes(), "h.mob");

    EXPECT_EQ(Run({Desc(), "hexdump", path, "2"}), CMobTool::kExitOk);
    EXPECT_EQ(out.str(), "00000000  30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66  0123456789abcdef\n"
                         "00000010  01 7e" + std::string(42, ' ') + "  .~\n");
    EXPECT_EQ(Run({Desc(), "hexdump", path, "3"}), CMobTool::kExitOk);
    EXPECT_EQ(out.str(), "00000000  01 20 00 00 09 00 00 00 07" + std::string(21, ' ') + "  . .......\n");
    EXPECT_EQ(Run({Desc(), "hexdump", path, "5"}), CMobTool::kExitOk);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(Run({Desc(), "hexdump", path, "x"}), CMobTool::kExitFailed);
    EXPECT_EQ(err.str(), "mobtool: no chunk with node key x\n");
}

TEST_F(MobToolTest, GuessLinesCanBeAppendedToTheDescriptionFile)
{
    ChunkBuilder b;
    b.Begin(0xC000).Chunk(0xC001, "Belfen").Chunk(test::kIdByte, {1}).End();
    b.Chunk(0xC001, "Irongate").Chunk(0xC002, {9, 8, 7}).Chunk(test::kIdString, "Named");
    const std::string path = Put(b.Bytes(), "g.mob");

    EXPECT_EQ(Run({Desc(), "guess", path}), CMobTool::kExitOk);
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("0x0000C000\tREC\tID_0000C000\tguess: ", 0), 0u) << text;
    EXPECT_NE(text.find("\n0x0000C001\tSTRING\tID_0000C001\tguess: "), std::string::npos) << text;
    EXPECT_NE(text.find("\n0x0000C002\tNULL\tID_0000C002\tguess: 0% no layout fits the payload (3 bytes)\n"),
              std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);

    tools::WriteFileText(dir.File("mob_desc.txt"), tools::ReadFileText(dir.File("mob_desc.txt")) + text);
    CMobDocument reread;
    reread.SetDescFile(dir.File("mob_desc.txt"));
    ASSERT_TRUE(reread.ReadDescFile()) << reread.GetError();
    ASSERT_NE(reread.LookupDesc("0000C001"), nullptr);
    EXPECT_EQ(reread.LookupDesc("0000C001")->m_strName, "ID_0000C001");
    EXPECT_EQ(reread.LookupDesc("0000C001")->m_strDescription.rfind("guess: ", 0), 0u);
}

// Each structure command writes the changed file, built here independently;
// a failure says why, with status 1, and writes nothing.
TEST_F(MobToolTest, StructureCommandsWriteTheChangedFileOrNothing)
{
    using Bytes = std::vector<std::uint8_t>;
    const auto file = [](std::initializer_list<std::function<void(ChunkBuilder&)>> parts) {
        ChunkBuilder b;
        for (const auto& part : parts)
            part(b);
        return b.Bytes();
    };
    const auto group = [](Bytes children) {
        return [children](ChunkBuilder& b) { b.Begin(test::kIdRec).Raw(children).End(); };
    };
    const auto chunk = [](std::uint32_t id, Bytes payload) {
        return [id, payload](ChunkBuilder& b) { b.Chunk(id, payload); };
    };
    const Bytes byteAndDword = file({chunk(test::kIdByte, {1}), chunk(test::kIdDword, tools::U32Bytes({2}))});
    // Keys: 1 the file, 2 the group, 3 and 4 its chunks, 5 the string;
    // loaded after it, 6 the second file and 7 its empty group.
    const std::string f = Put(file({group(byteAndDword), chunk(test::kIdString, {'s'})}), "f.mob");
    const std::string g = Put(file({group({})}), "g.mob");
    const std::string payload = Put({9, 9}, "payload.bin");
    const std::string outPath = dir.File("out.mob");

    struct Success {
        std::vector<std::string> args;
        Bytes expected;
    };
    const std::vector<Success> successes = {
        {{"delete", f, "3", outPath}, file({group(file({chunk(test::kIdDword, tools::U32Bytes({2}))})), chunk(test::kIdString, {'s'})})},
        {{"insert", f, "2", "2", "0000200a", outPath, payload},
         file({group(file({chunk(test::kIdByte, {1}), chunk(test::kIdDword, tools::U32Bytes({2})), chunk(test::kIdRect, {9, 9})})),
               chunk(test::kIdString, {'s'})})},
        {{"insert", f, "1", "0", "00007777", outPath}, file({chunk(test::kIdUnknown, {}), group(byteAndDword), chunk(test::kIdString, {'s'})})},
        {{"move", f, "5", "0", outPath}, file({chunk(test::kIdString, {'s'}), group(byteAndDword)})},
        {{"copy", f, "2", g, "7", "0", outPath}, file({group(file({group(byteAndDword)}))})},
        {{"extract", f, "2", outPath}, file({group(byteAndDword)})},
    };
    for (const Success& c : successes) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::vector<std::string> args{Desc()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(Run(args), CMobTool::kExitOk) << err.str();
        EXPECT_EQ(out.str(), "Saved file: " + outPath + "\n");
        EXPECT_EQ(tools::ReadFileBytes(outPath), c.expected);
        ::unlink(outPath.c_str());
    }

    struct Failure {
        std::vector<std::string> args;
        int status;
        std::string message;  // the start of what goes to standard error
    };
    const std::vector<Failure> failures = {
        {{"delete", f, "1", outPath}, 1, "mobtool: A file is not deleted this way"},
        {{"delete", f, "99", outPath}, 1, "mobtool: no chunk with node key 99\n"},
        {{"insert", f, "3", "0", "00002001", outPath}, 1, "mobtool: Flag is not a container"},
        {{"insert", f, "2", "3", "00002001", outPath}, 1, "mobtool: There is no place 3 in Group: it holds 2 chunks."},
        {{"insert", f, "2", "0", "00002001", outPath, dir.File("none.bin")}, 1, "mobtool: " + dir.File("none.bin")},
        {{"move", f, "3", "2", outPath}, 1, "mobtool: There is no place 2 in Group: it holds 1 chunk."},
        {{"copy", f, "2", g, "3", "0", outPath}, 1, "mobtool: node key 3 is not in " + g + "\n"},
        {{"copy", f, "7", g, "7", "0", outPath}, 1, "mobtool: node key 7 is not in " + f + "\n"},
        {{"extract", f, "8", outPath}, 1, "mobtool: no chunk with node key 8\n"},
        {{"insert", f, "2", "x", "00002001", outPath}, 2, "mobtool: INDEX must be a decimal number, not x\n"},
        {{"insert", f, "2", "0", "2001", outPath}, 2, "mobtool: IDHEX must be 8 hexadecimal digits, not 2001\n"},
        {{"move", f, "3", "-1", outPath}, 2, "mobtool: INDEX must be a decimal number, not -1\n"},
        {{"copy", f, "2", g, "7", "+0", outPath}, 2, "mobtool: INDEX must be a decimal number"},
    };
    for (const Failure& c : failures) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::vector<std::string> args{Desc()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(Run(args), c.status);
        EXPECT_EQ(err.str().rfind(c.message, 0), 0u) << err.str();
        EXPECT_EQ(::access(outPath.c_str(), F_OK), -1);
    }
}

} // namespace
} // namespace qm
