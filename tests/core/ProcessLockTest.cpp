#include "tools/ChunkBuilder.h"
#include "support/DocFixture.h"
#include "support/TestAccount.h"

#include "cli/CMobTool.h"
#include "platform/CProcessLock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qm {
namespace {

using namespace std::chrono_literals;

// Sets an environment variable, or removes it (none), until it goes.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        Set(value);
    }
    ~ScopedEnv() { Set(m_old); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    void Set(const std::optional<std::string>& value)
    {
        if (value)
            ::setenv(m_name, value->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    const char* m_name;
    std::optional<std::string> m_old;
};

// Each test gets private lock folders of its own.
class ProcessLockTest : public test::DocFixture {
protected:
    // A child process that takes the lock, says so on a pipe, and holds it
    // until it reads a byte from the pipe handed back in releaseOut (or is killed).
    pid_t StartHolder(int& releaseOut)
    {
        int ready[2];
        int release[2];
        EXPECT_EQ(::pipe(ready), 0);
        EXPECT_EQ(::pipe(release), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(ready[0]);
            ::close(release[1]);
            platform::CProcessLock lock;
            if (!lock.Open("MUTEX") || !lock.Lock())
                ::_exit(3);
            const char byte = 'L';
            (void)::write(ready[1], &byte, 1);
            char ignored;
            (void)::read(release[0], &ignored, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        char byte = 0;
        EXPECT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        releaseOut = release[1];
        return child;
    }

    // A child process that loads a file and exits 0 when the load succeeded.
    pid_t StartLoader(const std::string& path)
    {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(doc.LoadMobFile(path) ? 0 : 1);
        return child;
    }

    static bool ExitedCleanly(pid_t child)
    {
        int status = 0;
        return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    std::string PutFile()
    {
        tools::ChunkBuilder b;
        b.Chunk(test::kIdByte, {1});
        return Put(b.Bytes(), "a.mob");
    }

    void Release(pid_t holder, int releaseFd)
    {
        EXPECT_EQ(::write(releaseFd, "R", 1), 1);
        ::close(releaseFd);
        EXPECT_TRUE(ExitedCleanly(holder));
    }

    tools::TempDir runtime;
    tools::TempDir state;
    ScopedEnv runtimeEnv{"XDG_RUNTIME_DIR", runtime.Path()};
    ScopedEnv stateEnv{"XDG_STATE_HOME", state.Path()};
};

TEST_F(ProcessLockTest, SecondProcessWaitsForTheHolder)
{
    const std::string path = PutFile();
    int releaseFd = -1;
    const pid_t holder = StartHolder(releaseFd);
    const pid_t loader = StartLoader(path);
    // While the holder holds the lock the loader cannot have finished.
    std::this_thread::sleep_for(200ms);
    int status = 0;
    EXPECT_EQ(::waitpid(loader, &status, WNOHANG), 0) << "the load did not wait for the lock";
    Release(holder, releaseFd);
    EXPECT_TRUE(ExitedCleanly(loader));
}

TEST_F(ProcessLockTest, KilledHolderDoesNotBlockTheNextLoad)
{
    const std::string path = PutFile();
    int releaseFd = -1;
    const pid_t holder = StartHolder(releaseFd);
    const pid_t loader = StartLoader(path);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(releaseFd);
    EXPECT_TRUE(ExitedCleanly(loader));
    EXPECT_TRUE(doc.LoadMobFile(path)) << doc.GetIoError();
}

// The wait is unbounded, but whoever waits hears about it now and then and
// may give up; nothing is added then.
TEST_F(ProcessLockTest, AWaitingLoadCanBeGivenUp)
{
    const std::string path = PutFile();
    int releaseFd = -1;
    const pid_t holder = StartHolder(releaseFd);
    std::vector<std::chrono::milliseconds> asked;
    doc.SetLockWaitCallback([&](std::chrono::milliseconds waited) {
        asked.push_back(waited);
        return waited < 200ms;
    });
    EXPECT_FALSE(doc.LoadMobFile(path));
    EXPECT_EQ(doc.GetIoError(), path + ": cancelled while waiting for another Quillmere process to finish loading");
    EXPECT_EQ(doc.Tree().GetCount(), 0u);
    ASSERT_GE(asked.size(), 2u);
    EXPECT_TRUE(std::is_sorted(asked.begin(), asked.end()));
    Release(holder, releaseFd);
}

TEST_F(ProcessLockTest, MobToolSaysWhyALoadWaits)
{
    const std::string path = PutFile();
    int releaseFd = -1;
    const pid_t holder = StartHolder(releaseFd);
    std::thread releaser([&] {
        std::this_thread::sleep_for(1500ms);
        Release(holder, releaseFd);
    });
    std::ostringstream out;
    std::ostringstream err;
    CMobTool tool(out, err);
    EXPECT_EQ(tool.Run({"--desc", dir.File("mob_desc.txt"), "stat", path}), CMobTool::kExitOk);
    releaser.join();
    EXPECT_EQ(err.str(), "waiting for another Quillmere process to finish loading\u2026\n");
}

// The lock lives where no other user can get first: a squatter's folder
// under the temporary folder, where the lock once lived, changes nothing.
TEST_F(ProcessLockTest, LockFolderIsOneNoOtherUserCanOwn)
{
    const tools::TempDir tmp;
    const std::string squatter = tmp.File("quillmere-" + std::to_string(::geteuid()));
    ASSERT_EQ(::mkdir(squatter.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(squatter.c_str(), 0777), 0);
    const ScopedEnv tmpEnv("TMPDIR", tmp.Path());
    const tools::TempDir home;
    struct Case {
        const char* name;
        std::optional<std::string> runtimeDir;
        mode_t runtimeMode;
        std::optional<std::string> stateHome;
        std::string expected;
    };
    const Case cases[] = {
        {"a private runtime folder", runtime.Path(), 0700, state.Path(), runtime.Path()},
        {"a runtime folder open to others", runtime.Path(), 0755, state.Path(), state.File("quillmere")},
        {"no runtime folder", std::nullopt, 0700, state.Path(), state.File("quillmere")},
        {"neither, in the home folder", std::nullopt, 0700, std::nullopt, home.File(".local/state/quillmere")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(::chmod(runtime.Path().c_str(), c.runtimeMode), 0);
        const ScopedEnv runtimeDir("XDG_RUNTIME_DIR", c.runtimeDir);
        const ScopedEnv stateHome("XDG_STATE_HOME", c.stateHome);
        const ScopedEnv homeDir("HOME", home.Path());
        std::string error;
        EXPECT_EQ(platform::CProcessLock::LockFolder(error), c.expected) << error;
        struct stat st {};
        ASSERT_EQ(::stat(c.expected.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        EXPECT_TRUE(doc.LoadMobFile(PutFile())) << doc.GetIoError();
    }
}

TEST_F(ProcessLockTest, RefusesALockFolderOthersCanReach)
{
    const ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    const std::string folder = state.File("quillmere");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0770), 0);
    std::string error;
    EXPECT_EQ(platform::CProcessLock::LockFolder(error), "");
    EXPECT_EQ(error, folder + ": open to other users");
    EXPECT_FALSE(doc.LoadMobFile(PutFile()));

    const auto account = test::TestAccount();
    if (!account)
        GTEST_SKIP() << "needs root to give the folder to another user";
    ASSERT_EQ(::chmod(folder.c_str(), 0700), 0);
    ASSERT_EQ(::chown(folder.c_str(), account->uid, account->gid), 0);
    EXPECT_EQ(platform::CProcessLock::LockFolder(error), "");
    EXPECT_EQ(error, folder + ": owned by another user");
}

} // namespace
} // namespace qm
