#include "platform/CFileReplacer.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace qm::platform {

namespace {

// Links followed before the chain is taken for a loop, as the kernel does.
constexpr int kMostLinks = 40;
constexpr std::size_t kLongestName = NAME_MAX;
constexpr std::size_t kCopyBlock = 1 << 20;

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name beside the target built from its own name, cut short where the
// target's name leaves no room for what is added.
std::string SideName(const std::string& folder, const std::string& name, const char* before, const char* after)
{
    const std::size_t added = std::char_traits<char>::length(before) + std::char_traits<char>::length(after);
    return folder + "/" + before + name.substr(0, kLongestName - added) + after;
}

const char* KindOf(mode_t mode)
{
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISBLK(mode))
        return "a block device";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a plain file";
}

bool IsSameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The path a chain of symbolic links ends at, whether or not a file is
// there. A relative link is read from the folder the link is in.
bool FollowLinks(std::string path, std::string& out, std::string& error)
{
    std::vector<char> buffer(PATH_MAX);
    for (int hops = 0; hops <= kMostLinks; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno != ENOENT) {
                error = FileErrorText(path, errno);
                return false;
            }
            out = path;
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            out = path;
            return true;
        }
        const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (length < 0 || static_cast<std::size_t>(length) >= buffer.size()) {
            error = FileErrorText(path, length < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        const std::string target(buffer.data(), static_cast<std::size_t>(length));
        path = target.front() == '/' ? target : FolderOf(path) + "/" + target;
    }
    error = FileErrorText(path, ELOOP);
    return false;
}

bool WriteAllAt(int fd, const std::uint8_t* data, std::size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, size, offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
        offset += written;
    }
    return true;
}

// Copies the first size bytes of from into to, both from offset 0.
bool CopyBytes(int from, int to, std::uint64_t size)
{
    std::vector<std::uint8_t> block(kCopyBlock);
    std::uint64_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(from, block.data(), block.size(), static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            errno = got == 0 ? EIO : errno;
            return false;
        }
        if (!WriteAllAt(to, block.data(), static_cast<std::size_t>(got), static_cast<off_t>(done)))
            return false;
        done += static_cast<std::uint64_t>(got);
    }
    return true;
}

void SyncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    // Best effort: some file systems refuse fsync on a folder, and the data
    // itself is already safe by now.
    (void)::fsync(fd);
    ::close(fd);
}

void CloseFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

mode_t CurrentUmask()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

} // namespace

CFileReplacer::~CFileReplacer()
{
    Abandon();
}

bool CFileReplacer::Fail(std::string text)
{
    m_strError = std::move(text);
    Abandon();
    return false;
}

bool CFileReplacer::Begin(const std::string& path)
{
    Abandon();
    m_strError.clear();
    m_strNotice.clear();
    m_nWritten = 0;

    struct stat named {};
    const bool exists = ::stat(path.c_str(), &named) == 0;
    if (!exists && errno != ENOENT)
        return Fail(FileErrorText(path, errno));
    if (exists && S_ISDIR(named.st_mode))
        return Fail(FileErrorText(path, EISDIR));
    if (exists && !S_ISREG(named.st_mode))
        return Fail(path + ": " + KindOf(named.st_mode) + ", not a regular file; only regular files are saved over");

    std::string error;
    if (!FollowLinks(path, m_target, error))
        return Fail(error);
    m_folder = FolderOf(m_target);
    if (!exists)
        return StartNewFile();

    if (::lstat(m_target.c_str(), &m_old) != 0 || !IsSameFile(m_old, named))
        return Fail(path + ": the file it names cannot be found to be saved over");
    if (::faccessat(AT_FDCWD, m_target.c_str(), W_OK, AT_EACCESS) != 0)
        return Fail(FileErrorText(m_target, errno));
    if (m_old.st_nlink > 1)
        return StartInPlace();
    return StartReplace();
}

bool CFileReplacer::CreateSideFile(const char* before, const char* after, const char* what)
{
    m_tempPath = SideName(m_folder, NameOf(m_target), before, after);
    // Deferred until the file is named, so an interrupt can never leave it.
    m_interrupts.Defer();
    m_tempFd = ::mkostemp(m_tempPath.data(), O_CLOEXEC);
    if (m_tempFd < 0)
        return Fail(std::string("Cannot create ") + what + " in " + FileErrorText(m_folder, errno));
    m_interrupts.RemoveOnInterrupt(m_tempPath);
    // Until it is complete, it is removed on every way out.
    m_strategy = Strategy::NewFile;
    return true;
}

bool CFileReplacer::StartNewFile()
{
    return CreateSideFile(".", ".XXXXXX", "a temporary file");
}

bool CFileReplacer::StartReplace()
{
    if (!StartNewFile())
        return false;
    m_strategy = Strategy::Replace;
    struct stat made {};
    if (::fstat(m_tempFd, &made) != 0)
        return Fail(FileErrorText(m_tempPath, errno));
    if (made.st_uid == m_old.st_uid && made.st_gid == m_old.st_gid)
        return true;
    if (::fchown(m_tempFd, m_old.st_uid, m_old.st_gid) == 0)
        return true;
    // Only root can give a file away, and only a member can give it the
    // group: the old file must then keep its identity and be written in place.
    Abandon();
    return StartInPlace();
}

bool CFileReplacer::StartInPlace()
{
    m_targetFd = ::open(m_target.c_str(), O_RDWR | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (m_targetFd < 0) {
        const int error = errno;
        // Writing in place starts with a copy of the old bytes, so the file
        // must be readable too.
        return Fail(FileErrorText(m_target, error) +
                    (error == EACCES ? " (a file with more than one name is copied before it is overwritten)" : ""));
    }
    struct stat opened {};
    if (::fstat(m_targetFd, &opened) != 0 || !IsSameFile(opened, m_old))
        return Fail(m_target + ": the file changed while it was being saved over");
    m_old = opened;
    if (!MakeBackup())
        return false;
    m_strategy = Strategy::InPlace;
    // From here the file itself changes: an interrupt must wait for the end.
    m_interrupts.Defer();
    return true;
}

bool CFileReplacer::MakeBackup()
{
    if (!CreateSideFile("", ".backup-XXXXXX", "a backup copy"))
        return false;
    // Its owner may need it after a crash; the copy stays closed to others.
    (void)::fchown(m_tempFd, m_old.st_uid, m_old.st_gid);
    if (!CopyBytes(m_targetFd, m_tempFd, static_cast<std::uint64_t>(m_old.st_size)) || ::fsync(m_tempFd) != 0)
        return Fail("Cannot make a backup copy of " + FileErrorText(m_target, errno));
    SyncFolder(m_folder);
    return true;
}

bool CFileReplacer::Write(const void* data, std::size_t size)
{
    if (m_strategy == Strategy::None)
        return Fail(m_target + ": nothing was begun");
    const int fd = m_strategy == Strategy::InPlace ? m_targetFd : m_tempFd;
    if (!WriteAllAt(fd, static_cast<const std::uint8_t*>(data), size, static_cast<off_t>(m_nWritten)))
        return Fail(FileErrorText(m_target, errno));
    m_nWritten += size;
    return true;
}

bool CFileReplacer::Commit()
{
    switch (m_strategy) {
    case Strategy::None:
        return Fail(m_target + ": nothing was begun");
    case Strategy::NewFile:
        return CommitByRename(0666 & ~CurrentUmask());
    case Strategy::Replace:
        return CommitByRename(m_old.st_mode & 07777);
    case Strategy::InPlace:
        return CommitInPlace();
    }
    return false;
}

bool CFileReplacer::CommitByRename(mode_t mode)
{
    // After the owner was set and the bytes written: both can clear the
    // set-user-ID and set-group-ID bits.
    if (::fchmod(m_tempFd, mode) != 0 || ::fsync(m_tempFd) != 0)
        return Fail(FileErrorText(m_target, errno));
    NoticeLostIdBits(m_tempFd, mode);
    const int closed = ::close(m_tempFd);
    m_tempFd = -1;
    if (closed != 0 || ::rename(m_tempPath.c_str(), m_target.c_str()) != 0)
        return Fail(FileErrorText(m_target, errno));
    m_strategy = Strategy::None;
    m_interrupts.Release();
    SyncFolder(m_folder);
    return true;
}

bool CFileReplacer::CommitInPlace()
{
    if (::ftruncate(m_targetFd, static_cast<off_t>(m_nWritten)) != 0 || ::fsync(m_targetFd) != 0)
        return Fail(FileErrorText(m_target, errno));
    // Writing as anyone but root clears the set-user-ID bit, and the
    // set-group-ID bit of a program; the owner and root may set them again.
    const mode_t mode = m_old.st_mode & 07777;
    struct stat now {};
    if (::fstat(m_targetFd, &now) == 0 && (now.st_mode & 07777) != mode)
        (void)::fchmod(m_targetFd, mode);
    NoticeLostIdBits(m_targetFd, mode);
    CloseFd(m_targetFd);
    CloseFd(m_tempFd);
    ::unlink(m_tempPath.c_str());
    m_strategy = Strategy::None;
    m_interrupts.Release();
    SyncFolder(m_folder);
    return true;
}

void CFileReplacer::NoticeLostIdBits(int fd, mode_t wanted)
{
    constexpr mode_t kIdBits = S_ISUID | S_ISGID;
    struct stat now {};
    if (::fstat(fd, &now) != 0 || (now.st_mode & kIdBits) == (wanted & kIdBits))
        return;
    m_strNotice = m_target + ": its set-user-ID and set-group-ID bits were cleared: only its owner may set them.";
}

bool CFileReplacer::RestoreFromBackup()
{
    const auto size = static_cast<std::uint64_t>(m_old.st_size);
    return ::ftruncate(m_targetFd, static_cast<off_t>(size)) == 0 && CopyBytes(m_tempFd, m_targetFd, size) &&
           ::fsync(m_targetFd) == 0;
}

void CFileReplacer::Abandon()
{
    const int error = errno;
    if (m_strategy == Strategy::InPlace && !RestoreFromBackup()) {
        // The copy is the only whole version left: it stays, and says where.
        m_strError += (m_strError.empty() ? "" : " ") + ("The old contents are kept in " + m_tempPath + ".");
        m_tempPath.clear();
    }
    if (m_strategy != Strategy::None && !m_tempPath.empty())
        ::unlink(m_tempPath.c_str());
    CloseFd(m_tempFd);
    CloseFd(m_targetFd);
    m_tempPath.clear();
    m_strategy = Strategy::None;
    m_interrupts.Release();
    errno = error;
}

} // namespace qm::platform
