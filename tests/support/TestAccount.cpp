#include "support/TestAccount.h"

#include "tools/TempDir.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm::test {

namespace {

constexpr const char* kAccountName = QUILLMERE_TEST_ACCOUNT;
// Any group id does: the child is given it directly, not through /etc/group.
constexpr gid_t kSharedGroup = 4711;

std::optional<Account> LookUp()
{
    const passwd* entry = ::getpwnam(kAccountName);
    if (!entry)
        return std::nullopt;
    return Account{entry->pw_uid, entry->pw_gid, {}};
}

std::string ReadAll(int fd)
{
    std::string text;
    char block[4096];
    for (;;) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return text;
        text.append(block, static_cast<std::size_t>(got));
    }
}

} // namespace

bool RunningAsRoot()
{
    return ::geteuid() == 0;
}

std::optional<Account> TestAccount()
{
    if (!RunningAsRoot())
        return std::nullopt;
    if (auto account = LookUp())
        return account;
    // Tests run side by side may both get here; useradd refuses the second.
    const std::string command = std::string("useradd --system --user-group --no-create-home --home-dir /nonexistent "
                                            "--shell /usr/sbin/nologin ") + kAccountName + " 2>/dev/null";
    (void)std::system(command.c_str());
    auto account = LookUp();
    if (!account)
        throw std::runtime_error(std::string("cannot create the test account ") + kAccountName);
    return account;
}

gid_t SharedGroup()
{
    return kSharedGroup;
}

std::string RunAs(const Account& account, const std::function<std::string()>& body)
{
    const tools::TempDir state;
    if (::chown(state.Path().c_str(), account.uid, account.gid) != 0 && RunningAsRoot())
        return "cannot hand the state folder to the account";
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "no pipe";
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string result;
        const bool switched = !RunningAsRoot() ||
                              (::setgroups(account.groups.size(), account.groups.data()) == 0 &&
                               ::setgid(account.gid) == 0 && ::setuid(account.uid) == 0);
        if (switched) {
            ::unsetenv("XDG_RUNTIME_DIR");
            ::setenv("XDG_STATE_HOME", state.Path().c_str(), 1);
            result = body();
        } else {
            result = "cannot switch to the account";
        }
        const ssize_t ignored = ::write(pipeFds[1], result.data(), result.size());
        (void)ignored;
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string result = ReadAll(pipeFds[0]);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status))
        result += "[the child ended by signal " + std::to_string(WTERMSIG(status)) + "]";
    return result;
}

} // namespace qm::test
