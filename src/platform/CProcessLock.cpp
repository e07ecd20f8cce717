#include "platform/CProcessLock.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qm::platform {

namespace {

// A folder is private when it is a real folder (not a link), owned by us,
// and closed to group and others.
bool IsPrivateFolder(const std::string& folder, std::string& error)
{
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        error = FileErrorText(folder, errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = folder + ": not a folder";
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        error = folder + ": owned by another user";
        return false;
    }
    if ((st.st_mode & 077) != 0) {
        error = folder + ": open to other users";
        return false;
    }
    return true;
}

constexpr auto kPollInterval = std::chrono::milliseconds(50);

std::string AbsoluteEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? value : "";
}

// $XDG_STATE_HOME, else ~/.local/state, the home folder taken from $HOME or
// else from the user database.
std::string StateFolder(std::string& error)
{
    if (std::string state = AbsoluteEnv("XDG_STATE_HOME"); !state.empty())
        return state;
    std::string home = AbsoluteEnv("HOME");
    if (home.empty()) {
        if (const passwd* user = ::getpwuid(::geteuid()); user && user->pw_dir && user->pw_dir[0] == '/')
            home = user->pw_dir;
    }
    if (home.empty()) {
        error = "No home folder to keep the loading lock in (HOME is not set)";
        return {};
    }
    return home + "/.local/state";
}

// Creates folder and any missing folder above it, each closed to others.
bool MakeFolders(const std::string& folder, std::string& error)
{
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = FileErrorText(part, errno);
            return false;
        }
        if (slash == std::string::npos)
            return true;
    }
}

} // namespace

CProcessLock::~CProcessLock()
{
    Close();
}

std::string CProcessLock::LockFolder(std::string& error)
{
    if (const std::string runtime = AbsoluteEnv("XDG_RUNTIME_DIR"); !runtime.empty()) {
        std::string ignored;
        if (IsPrivateFolder(runtime, ignored))
            return runtime;
    }
    const std::string state = StateFolder(error);
    if (state.empty())
        return {};
    const std::string folder = state + "/quillmere";
    if (!MakeFolders(folder, error) || !IsPrivateFolder(folder, error))
        return {};
    return folder;
}

bool CProcessLock::Open(std::string_view name)
{
    Close();
    m_strError.clear();
    const std::string folder = LockFolder(m_strError);
    if (folder.empty())
        return false;
    const std::string path = folder + "/" + std::string(name);
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        m_strError = FileErrorText(path, errno);
        return false;
    }
    return true;
}

bool CProcessLock::Lock(const WaitCallback& onWait)
{
    if (m_fd < 0)
        return false;
    const int how = onWait ? LOCK_EX | LOCK_NB : LOCK_EX;
    while (::flock(m_fd, how) != 0) {
        if (errno == EWOULDBLOCK)
            return WaitPolling(onWait);
        if (errno != EINTR) {
            m_strError = SystemErrorText(errno);
            return false;
        }
    }
    m_bLocked = true;
    return true;
}

// flock() cannot be told to stop waiting, so a wait that may be given up
// asks again and again.
bool CProcessLock::WaitPolling(const WaitCallback& onWait)
{
    const auto started = std::chrono::steady_clock::now();
    for (;;) {
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
        if (!onWait(waited)) {
            m_strError = "cancelled while waiting for another Quillmere process to finish loading";
            return false;
        }
        std::this_thread::sleep_for(kPollInterval);
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_bLocked = true;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_strError = SystemErrorText(errno);
            return false;
        }
    }
}

void CProcessLock::Unlock()
{
    if (!m_bLocked)
        return;
    m_bLocked = false;
    ::flock(m_fd, LOCK_UN);
}

void CProcessLock::Close()
{
    Unlock();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace qm::platform
