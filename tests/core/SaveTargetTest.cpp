// What a save does to the file it writes: its links, its owner, its
// permissions, and targets that are no plain file. Each case runs as this
// process and, when that is root, also as an unprivileged account.

#include "support/DocFixture.h"
#include "support/TestAccount.h"

#include "tools/ChunkBuilder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace qm {
namespace {

using test::Account;
using tools::ChunkBuilder;

struct Who {
    std::string name;
    std::optional<Account> account;  // none: this process itself
};

struct FileState {
    uid_t uid;
    gid_t gid;
    mode_t mode;  // type and permission bits
    ino_t inode;
};

FileState StateOf(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return {0, 0, 0, 0};
    return {st.st_uid, st.st_gid, st.st_mode, st.st_ino};
}

bool StartsWith(const std::string& text, std::string_view start)
{
    return text.rfind(start, 0) == 0;
}

class SaveTargetTest : public test::DocFixture {
protected:
    void SetUp() override
    {
        ChunkBuilder fresh;
        fresh.Chunk(test::kIdString, "the new contents");
        newBytes = fresh.Bytes();
        ChunkBuilder old;
        old.Chunk(test::kIdString, "old");
        oldBytes = old.Bytes();
        Load(newBytes, "source.mob");
        // The account must reach the folders made below.
        ASSERT_EQ(::chmod(dir.Path().c_str(), 0711), 0);
        people.push_back({test::RunningAsRoot() ? "as root" : "as this unprivileged user", std::nullopt});
        if (auto account = test::TestAccount())
            people.push_back({"as an unprivileged account", account});
    }

    // A fresh folder owned by who.
    std::string Folder(const Who& who, mode_t mode = 0755)
    {
        const std::string path = dir.File("work" + std::to_string(++folders));
        EXPECT_EQ(::mkdir(path.c_str(), mode), 0);
        EXPECT_EQ(::chmod(path.c_str(), mode), 0);
        Give(path, who);
        return path;
    }

    // A file holding the old bytes, owned by who.
    std::string OldFile(const std::string& path, const Who& who, mode_t mode = 0644)
    {
        tools::WriteFileBytes(path, oldBytes);
        EXPECT_EQ(::chmod(path.c_str(), mode), 0);
        Give(path, who);
        return path;
    }

    static void Give(const std::string& path, const Who& who)
    {
        if (who.account) {
            EXPECT_EQ(::lchown(path.c_str(), who.account->uid, who.account->gid), 0);
        }
    }

    // "saved: " and any notice, or "refused: " and the reason.
    std::string SaveAs(const Who& who, const std::string& target)
    {
        auto save = [&] {
            return doc.SaveMobFile(target) ? "saved: " + doc.GetIoNotice() : "refused: " + doc.GetIoError();
        };
        return who.account ? test::RunAs(*who.account, save) : save();
    }

    bool Holds(const std::string& path, const std::vector<std::uint8_t>& bytes)
    {
        return tools::ReadFileBytes(path) == bytes;
    }

    std::vector<std::uint8_t> newBytes;
    std::vector<std::uint8_t> oldBytes;
    std::vector<Who> people;
    int folders = 0;
};

TEST_F(SaveTargetTest, WritesThroughLinksAndKeepsThem)
{
    for (const Who& who : people) {
        SCOPED_TRACE(who.name);
        const std::string work = Folder(who);
        const std::string file = OldFile(work + "/file.mob", who);
        ASSERT_EQ(::symlink("file.mob", (work + "/link.mob").c_str()), 0);
        ASSERT_EQ(::symlink((work + "/link.mob").c_str(), (work + "/chain.mob").c_str()), 0);
        ASSERT_EQ(::symlink("made/by/save.mob", (work + "/dangling.mob").c_str()), 0);
        ASSERT_EQ(::mkdir((work + "/made").c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((work + "/made/by").c_str(), 0755), 0);
        Give(work + "/made/by", who);
        ASSERT_EQ(::link(file.c_str(), (work + "/second-name.mob").c_str()), 0);
        const ino_t inode = StateOf(file).inode;

        EXPECT_EQ(SaveAs(who, work + "/chain.mob"), "saved: ");
        EXPECT_TRUE(Holds(file, newBytes));
        EXPECT_TRUE(S_ISLNK(StateOf(work + "/chain.mob").mode));
        EXPECT_TRUE(S_ISLNK(StateOf(work + "/link.mob").mode));
        // A file with two names is written in place: both names see it.
        EXPECT_EQ(StateOf(file).inode, inode);
        EXPECT_TRUE(Holds(work + "/second-name.mob", newBytes));

        EXPECT_EQ(SaveAs(who, work + "/dangling.mob"), "saved: ");
        EXPECT_TRUE(S_ISLNK(StateOf(work + "/dangling.mob").mode));
        EXPECT_TRUE(Holds(work + "/made/by/save.mob", newBytes));

        // The temporary file's name must fit too.
        const std::string longName = std::string(251, 'n') + ".mob";
        EXPECT_EQ(SaveAs(who, OldFile(work + "/" + longName, who)), "saved: ");
        EXPECT_TRUE(Holds(work + "/" + longName, newBytes));

        EXPECT_EQ(tools::ListFolder(work), (std::vector<std::string>{"chain.mob", "dangling.mob", "file.mob", "link.mob",
                                                                      "made", longName, "second-name.mob"}))
            << "a temporary file or backup copy was left behind";
    }
}

TEST_F(SaveTargetTest, RefusesTargetsThatAreNoRegularFile)
{
    for (const Who& who : people) {
        SCOPED_TRACE(who.name);
        const std::string work = Folder(who);
        struct Case {
            std::string name;
            std::string reason;
        };
        std::vector<Case> cases = {{"folder", "Is a directory"},
                                   {"fifo", "a FIFO, not a regular file"},
                                   {"link-to-fifo", "a FIFO, not a regular file"}};
        ASSERT_EQ(::mkdir((work + "/folder").c_str(), 0755), 0);
        ASSERT_EQ(::mkfifo((work + "/fifo").c_str(), 0666), 0);
        // Like /dev/stdout when the output goes to a pipe.
        ASSERT_EQ(::symlink("fifo", (work + "/link-to-fifo").c_str()), 0);
        if (test::RunningAsRoot()) {
            ASSERT_EQ(::mknod((work + "/null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0);
            cases.push_back({"null", "a character device, not a regular file"});
        }
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            const mode_t before = StateOf(work + "/" + c.name).mode;
            const std::string outcome = SaveAs(who, work + "/" + c.name);
            EXPECT_TRUE(StartsWith(outcome, "refused: ")) << outcome;
            EXPECT_NE(outcome.find(c.reason), std::string::npos) << outcome;
            EXPECT_EQ(StateOf(work + "/" + c.name).mode, before);
        }
    }
}

TEST_F(SaveTargetTest, AFileOrFolderTheUserMayNotWriteIsRefused)
{
    for (const Who& who : people) {
        SCOPED_TRACE(who.name);
        const bool privileged = !who.account && test::RunningAsRoot();
        const std::string work = Folder(who);
        const std::string readOnly = OldFile(work + "/read-only.mob", who, 0444);
        const std::string closed = Folder(who, 0555);

        // Root may, as the shell lets root write such a file.
        const std::string outcome = SaveAs(who, readOnly);
        EXPECT_EQ(StartsWith(outcome, "saved: "), privileged) << outcome;
        if (!privileged) {
            EXPECT_EQ(outcome, "refused: " + readOnly + ": Permission denied");
            EXPECT_TRUE(Holds(readOnly, oldBytes));
        }
        const std::string inClosed = SaveAs(who, closed + "/new.mob");
        EXPECT_EQ(StartsWith(inClosed, "saved: "), privileged) << inClosed;
        if (!privileged) {
            EXPECT_EQ(inClosed, "refused: Cannot create a temporary file in " + closed + ": Permission denied");
        }

        // The editor's Apply of descriptions goes the same way.
        const std::string desc = work + "/mob_desc.txt";
        tools::WriteFileText(desc, "0x00000001\tBYTE\tOld\n");
        ASSERT_EQ(::chmod(desc.c_str(), 0444), 0);
        Give(desc, who);
        CDescTable table;
        table.SetDescFile(desc);
        auto apply = [&] { return table.WriteDescFile() ? std::string("written") : table.GetError(); };
        const std::string applied = who.account ? test::RunAs(*who.account, apply) : apply();
        EXPECT_EQ(applied, privileged ? "written" : "Error while open description file: \n" + desc + ": Permission denied");
    }
}

// Root saving another user's file, and a user saving a file shared through
// a group: the file stays its owner's and its group's, with its mode bits.
// A user may not replace another's file they may not write, even where the
// folder would let them rename over it.
TEST_F(SaveTargetTest, KeepsOwnerGroupAndModeBits)
{
    const auto account = test::TestAccount();
    if (!account)
        GTEST_SKIP() << "needs root, to give files to another user and group";
    const gid_t shared = test::SharedGroup();
    Account member = *account;
    member.groups = {shared};
    const Who root{"root", std::nullopt};
    const Who user{"user", member};
    struct Case {
        const char* name;
        const Who& saver;
        uid_t uid;
        gid_t gid;
        mode_t mode;
        mode_t modeAfter;
        bool saved;
    };
    const Case cases[] = {
        {"root saves a user's 0600 file", root, account->uid, account->gid, 0600, 0600, true},
        {"root saves a user's set-user-ID program", root, account->uid, account->gid, 04755, 04755, true},
        {"a user saves their file of a shared group", user, account->uid, shared, 02660, 02660, true},
        {"a user saves root's file of a shared group", user, 0, shared, 0660, 0660, true},
        {"a user saves root's set-group-ID program of a shared group", user, 0, shared, 02770, 0770, true},
        {"a user saves root's 0644 file in a folder open to all", user, 0, 0, 0644, 0644, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string work = Folder(root, 0777);
        const std::string target = work + "/target.mob";
        tools::WriteFileBytes(target, oldBytes);
        ASSERT_EQ(::chown(target.c_str(), c.uid, c.gid), 0);
        ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);

        const std::string notice =
            c.modeAfter == c.mode ? ""
                                  : target + ": its set-user-ID and set-group-ID bits were cleared: only its owner "
                                             "may set them.";
        EXPECT_EQ(SaveAs(c.saver, target),
                  c.saved ? "saved: " + notice : "refused: " + target + ": Permission denied");
        const FileState after = StateOf(target);
        EXPECT_EQ(after.uid, c.uid);
        EXPECT_EQ(after.gid, c.gid);
        EXPECT_EQ(after.mode & 07777, c.modeAfter);
        EXPECT_TRUE(Holds(target, c.saved ? newBytes : oldBytes));
        EXPECT_EQ(tools::ListFolder(work), std::vector<std::string>{"target.mob"});
    }
}

// A program whose bytes happen to form a MOB file: an ELF header read as a
// chunk header has the size 0x00010102, so the program padded to that many
// bytes is one chunk. Root saving the user's set-user-ID copy of it must not
// turn it into a program that runs as root.
TEST_F(SaveTargetTest, RootSavingAUsersSetUidProgramDoesNotHandOutRoot)
{
    const auto account = test::TestAccount();
    if (!account)
        GTEST_SKIP() << "needs root, to give a program to another user";
    constexpr std::size_t kChunkSize = 0x00010102;
    auto program = tools::ReadFileBytes(QUILLMERE_PRINT_EUID);
    ASSERT_LE(program.size(), kChunkSize);
    program.resize(kChunkSize, 0);
    const Who root{"root", std::nullopt};
    const std::string work = Folder(root, 0755);
    const std::string path = work + "/program.mob";
    tools::WriteFileBytes(path, program);
    ASSERT_EQ(::chown(path.c_str(), account->uid, account->gid), 0);
    ASSERT_EQ(::chmod(path.c_str(), 04755), 0);

    doc.UnloadAll();
    ASSERT_TRUE(doc.LoadMobFile(path)) << doc.GetIoError();
    ASSERT_EQ(SaveAs(root, path), "saved: ");
    EXPECT_EQ(tools::ReadFileBytes(path), program);

    const std::string euid = test::RunAs(*account, [&] {
        std::string out;
        if (FILE* run = ::popen(path.c_str(), "r")) {
            char line[32] = {};
            if (std::fgets(line, sizeof line, run))
                out = line;
            ::pclose(run);
        }
        return out;
    });
    EXPECT_EQ(euid, std::to_string(account->uid) + "\n") << "the saved program runs as someone else";
}

} // namespace
} // namespace qm
