#include "desc/CDescTable.h"
#include "platform/FileSystem.h"

#include "support/LateFifo.h"
#include "tools/TempDir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>

namespace qm {
namespace {

using namespace std::string_view_literals;
using tools::ReadFileText;
using tools::TempDir;
using tools::WriteFileText;

class DescTableTest : public ::testing::Test {
protected:
    // Reads text as the description file; the table is fresh for each call.
    bool Read(std::string_view text)
    {
        WriteFileText(dir.File("mob_desc.txt"), text);
        table = CDescTable();
        table.SetDescFile(dir.File("mob_desc.txt"));
        return table.ReadDescFile();
    }

    const CFieldDesc& Entry(std::string_view key)
    {
        const CFieldDesc* entry = table.LookupDesc(key);
        EXPECT_NE(entry, nullptr) << "no entry for key '" << key << "'";
        static const CFieldDesc kNone;
        return entry ? *entry : kNone;
    }

    TempDir dir;
    CDescTable table;
};

// Whichever system wrote the file; an editor may also have put a UTF-8
// byte-order mark before the first id.
TEST_F(DescTableTest, LinesEndInLfCrLfOrALoneCr)
{
    for (const std::string_view end : {"\n"sv, "\r\n"sv, "\r"sv}) {
        SCOPED_TRACE(end == "\r" ? "CR" : end == "\n" ? "LF" : "CR LF");
        std::string text = end == "\r" ? "\xEF\xBB\xBF" : "";
        for (const char* line : {"0x00000001\tBYTE\tOne\tfirst", "0x00000002\tWORD\tTwo", "", "0x00000003\tREC\tThree"})
            text += std::string(line) + std::string(end);
        ASSERT_TRUE(Read(text)) << table.GetError();
        EXPECT_EQ(table.GetDescCount(), 3u);
        EXPECT_EQ(Entry("00000001").m_strDescription, "first");
        EXPECT_EQ(Entry("00000003").m_strName, "Three");
    }
}

// Read as a program reads its input: a FIFO's writer may be late. Nothing
// endless is read to the end.
TEST_F(DescTableTest, WaitsForAFifosWriterAndRefusesEndlessSources)
{
    const std::string fifo = dir.File("fifo.txt");
    const pid_t writer = test::MakeLateFifo(fifo, "0x00000001\tBYTE\tLate\n");
    table.SetDescFile(fifo);
    EXPECT_TRUE(table.ReadDescFile()) << table.GetError();
    EXPECT_EQ(Entry("00000001").m_strName, "Late");
    ::waitpid(writer, nullptr, 0);

    table.SetDescFile("/dev/zero");
    EXPECT_FALSE(table.ReadDescFile());
    EXPECT_EQ(table.GetError(),
              "Error while open description file: \n/dev/zero: the file is larger than 256 MiB, too large to read");
}

TEST_F(DescTableTest, SkipsBlankLinesAndMergesRepeatedKeys)
{
    ASSERT_TRUE(Read("\n\t\t\r\n0x00000001\tBYTE\tFirst\n\n0x00000001\tWORD\tLater\tWins\n"));
    EXPECT_EQ(table.GetDescCount(), 1u);
    EXPECT_EQ(Entry("00000001").m_strName, "Later");
    EXPECT_TRUE(Read(""));
    EXPECT_EQ(table.GetDescCount(), 0u);
}

TEST_F(DescTableTest, MalformedLineFailsNamingTheLine)
{
    struct Case {
        std::string_view text;
        const char* expected;
        std::size_t entriesKept;
    };
    const Case cases[] = {
        {"0x00000001\tBYTE\tOk\n0x00000002\n", "2: the type name and the name are missing.", 1},
        {"0x00000001\tBYTE\n", "1: the name is missing.", 0},
        {"   \n", "1: the type name and the name are missing.", 0},
        {"0x00000001\tBYTE\tOk\n\n0x00000002\tBYTE\tOk\n\0x\n"sv, "4: the line begins with a NUL byte.", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_FALSE(Read(c.text));
        EXPECT_EQ(table.GetError(), std::string("Error in description file at line ") + c.expected);
        EXPECT_EQ(table.GetDescCount(), c.entriesKept);
    }
}

TEST_F(DescTableTest, ReadsLinesWholeWhateverTheirLength)
{
    const std::string description(100000, 'd');
    ASSERT_TRUE(Read("0x00000001\tSTRING\tLong\t" + description + "\r\n0x00000002\tBYTE\tNext\n"));
    EXPECT_EQ(Entry("00000001").m_strDescription, description);
    EXPECT_EQ(table.GetDescCount(), 2u);
}

TEST_F(DescTableTest, MissingFileNamesTheFileAndTheReason)
{
    table.SetDescFile(dir.File("absent.txt"));
    EXPECT_FALSE(table.ReadDescFile());
    EXPECT_EQ(table.GetError(),
              "Error while open description file: \n" + dir.File("absent.txt") + ": No such file or directory");
}

TEST_F(DescTableTest, FailedReadKeepsWhatTheTableHeld)
{
    ASSERT_TRUE(Read("0x00000001\tBYTE\tKept\n"));
    WriteFileText(dir.File("mob_desc.txt"), "0x00000002\tWORD\tAdded\nbroken\n");
    EXPECT_FALSE(table.ReadDescFile());
    EXPECT_EQ(Entry("00000001").m_strName, "Kept");
    EXPECT_EQ(Entry("00000002").m_strName, "Added");
}

TEST_F(DescTableTest, RelativeNameIsFixedInTheWorkingFolderAtSetTime)
{
    const std::string before = platform::CurrentWorkingFolder();
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    table.SetDescFile("mob_desc.txt");
    ASSERT_EQ(::chdir("/"), 0);
    EXPECT_EQ(table.GetDescPath(), dir.File("mob_desc.txt"));
    ASSERT_EQ(::chdir(before.c_str()), 0);
}

TEST(TypeCodeFromName, ComparesNamesIgnoringAsciiCaseOnly)
{
    struct Case {
        const char* name;
        int code;
    };
    const Case cases[] = {{"dword", 3},     {"Rec", 6},       {"STR_S11", 21}, {"scRipt_enc", 8}, {"NULL", 0},
                          {"", 0},          {"STR_S03", 0},   {" BYTE", 0},    {"BYTE ", 0},      {"DIPLOMACY", 17},
                          {"quaternion", 14}};
    for (const Case& c : cases)
        EXPECT_EQ(CDescTable::TypeCodeFromName(c.name), c.code) << c.name;
}

TEST_F(DescTableTest, SetDescriptionTakesTheIdWithItsPrefix)
{
    ASSERT_TRUE(Read("0x0000A000\tDWORD\tCount\told\n"));
    EXPECT_TRUE(table.SetDescription("0x0000A000", "new\r\ntext"));
    std::string out;
    EXPECT_TRUE(table.GetDescription("0000A000", out));
    EXPECT_EQ(out, "new\r\ntext");

    EXPECT_FALSE(table.SetDescription("0x0000B000", "x"));
    EXPECT_EQ(table.GetError(), "Can't find description for id: \n0x0000B000");
    EXPECT_FALSE(table.SetDescription("0x", "x"));
    EXPECT_EQ(table.GetError(), "Can't find description for id: \n0x");

    out = "untouched";
    EXPECT_FALSE(table.GetTypeName("0000B000", out));
    EXPECT_EQ(out, "untouched");
}

TEST_F(DescTableTest, WritesSortedLinesWithCrLf)
{
    ASSERT_TRUE(Read("0x00000003\tREC\tThird\n0x00000001\tBYTE\tFirst\tOne\n0x00000002\tWORD\tSecond\t\n"));
    ASSERT_TRUE(table.WriteDescFile()) << table.GetError();
    EXPECT_EQ(ReadFileText(dir.File("mob_desc.txt")),
              "0x00000001\tBYTE\tFirst\tOne\r\n"
              "0x00000002\tWORD\tSecond\t\r\n"
              "0x00000003\tREC\tThird\t\r\n");
}

TEST_F(DescTableTest, WhatIsWrittenReadsBackTheSame)
{
    ASSERT_TRUE(Read("0x00000001\tSTRING\tLong\n0x00000002\tSCRIPT\tBreaks\n0x00000003\tBYTE\tPlain\tkeep me\n"));
    const std::string longText(5000, 'x');
    ASSERT_TRUE(table.SetDescription("0x00000001", longText));
    ASSERT_TRUE(table.SetDescription("0x00000002", "one\ttwo\r\nthree\nfour\rfive"));
    ASSERT_TRUE(table.WriteDescFile());

    CDescTable reread;
    reread.SetDescFile(dir.File("mob_desc.txt"));
    ASSERT_TRUE(reread.ReadDescFile()) << reread.GetError();
    EXPECT_EQ(reread.GetDescCount(), 3u);
    std::string out;
    ASSERT_TRUE(reread.GetDescription("00000001", out));
    EXPECT_EQ(out, longText);
    ASSERT_TRUE(reread.GetDescription("00000002", out));
    EXPECT_EQ(out, "one two  three four five");
    ASSERT_TRUE(reread.GetDescription("00000003", out));
    EXPECT_EQ(out, "keep me");
}

TEST_F(DescTableTest, FailedWriteLeavesTheOldFile)
{
    const std::string original = "0x00000001\tBYTE\tFirst\tOne\n";
    ASSERT_TRUE(Read(original));
    ASSERT_TRUE(table.SetDescription("0x00000001", std::string(1 << 20, 'y')));

    // A file-size limit smaller than the new text makes the write fail part-way.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool written = table.WriteDescFile();
        const bool reported = table.GetError().find("Error while open description file: \n") == 0;
        ::_exit(!written && reported ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadFileText(dir.File("mob_desc.txt")), original);
    EXPECT_EQ(tools::ListFolder(dir.Path()), std::vector<std::string>{"mob_desc.txt"}) << "temporary file left behind";
}

} // namespace
} // namespace qm
