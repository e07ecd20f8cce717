#include "platform/CProcessLock.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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
    if (st.st_uid != ::getuid()) {
        error = folder + ": owned by another user";
        return false;
    }
    if ((st.st_mode & 077) != 0) {
        error = folder + ": open to other users";
        return false;
    }
    return true;
}

} // namespace

CProcessLock::~CProcessLock()
{
    Close();
}

std::string CProcessLock::LockFolder(std::string& error)
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/') {
        std::string ignored;
        if (IsPrivateFolder(runtime, ignored))
            return runtime;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = (tmp && tmp[0] == '/') ? tmp : "/tmp";
    folder += "/quillmere-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        error = FileErrorText(folder, errno);
        return {};
    }
    if (!IsPrivateFolder(folder, error))
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

bool CProcessLock::Lock()
{
    if (m_fd < 0)
        return false;
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            m_strError = SystemErrorText(errno);
            return false;
        }
    }
    m_bLocked = true;
    return true;
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
