#include "tools/ChunkBuilder.h"
#include "support/DocFixture.h"

#include "platform/CProcessLock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qm {
namespace {

// Each test gets a private runtime folder, so its lock is its own. (Once
// the folder is gone, later tests fall back to the usual lock folder.)
class ProcessLockTest : public test::DocFixture {
protected:
    void SetUp() override { ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1); }

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

    // A file, a holder of the lock, and a process loading the file.
    void StartBoth()
    {
        tools::ChunkBuilder b;
        b.Chunk(test::kIdByte, {1});
        mobPath = Put(b.Bytes(), "a.mob");
        holder = StartHolder(releaseFd);
        loader = StartLoader(mobPath);
    }

    tools::TempDir runtime;
    std::string mobPath;
    int releaseFd = -1;
    pid_t holder = -1;
    pid_t loader = -1;
};

TEST_F(ProcessLockTest, SecondProcessWaitsForTheHolder)
{
    StartBoth();
    // While the holder holds the lock the loader cannot have finished.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    int status = 0;
    EXPECT_EQ(::waitpid(loader, &status, WNOHANG), 0) << "the load did not wait for the lock";

    EXPECT_EQ(::write(releaseFd, "R", 1), 1);
    ::close(releaseFd);
    EXPECT_TRUE(ExitedCleanly(holder));
    EXPECT_TRUE(ExitedCleanly(loader));
}

TEST_F(ProcessLockTest, KilledHolderDoesNotBlockTheNextLoad)
{
    StartBoth();
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(releaseFd);
    EXPECT_TRUE(ExitedCleanly(loader));
    EXPECT_TRUE(doc.LoadMobFile(mobPath)) << doc.GetIoError();
}

TEST_F(ProcessLockTest, RefusesARuntimeFolderOthersCanReach)
{
    ASSERT_EQ(::chmod(runtime.Path().c_str(), 0755), 0);
    ::setenv("TMPDIR", runtime.Path().c_str(), 1);
    // $XDG_RUNTIME_DIR is not private, so the lock goes to a folder of ours
    // under the temporary folder, which here is that same open folder.
    std::string error;
    const std::string folder = platform::CProcessLock::LockFolder(error);
    ::unsetenv("TMPDIR");
    EXPECT_EQ(folder, runtime.Path() + "/quillmere-" + std::to_string(::getuid()));
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
    ::setenv("TMPDIR", runtime.Path().c_str(), 1);
    EXPECT_EQ(platform::CProcessLock::LockFolder(error), "");
    ::unsetenv("TMPDIR");
    EXPECT_NE(error.find("open to other users"), std::string::npos) << error;
}

} // namespace
} // namespace qm
