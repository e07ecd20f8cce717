#include "platform/FileSystem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qm::platform {

namespace {

// Closes a descriptor on every way out of a function.
class FdGuard {
public:
    explicit FdGuard(int fd) : m_fd(fd) {}
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    ~FdGuard() { Close(); }
    int Get() const { return m_fd; }
    int Close()
    {
        if (m_fd < 0)
            return 0;
        const int result = ::close(m_fd);
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
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
    }
    return true;
}

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

// The file a save really replaces: the target of a symbolic link, so that
// the link stays a link.
std::string ResolveTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : path;
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

mode_t CurrentUmask()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

} // namespace

std::string SystemErrorText(int error)
{
    char buffer[256] = {};
    // The GNU strerror_r may return a static text instead of filling the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    return text ? std::string(text) : std::string("Unknown error");
#else
    if (::strerror_r(error, buffer, sizeof buffer) != 0)
        return "Unknown error " + std::to_string(error);
    return buffer;
#endif
}

std::string FileErrorText(std::string_view path, int error)
{
    std::string text(path);
    text += ": ";
    text += SystemErrorText(error);
    return text;
}

std::string CurrentWorkingFolder()
{
    std::vector<char> buffer(PATH_MAX);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

bool ReadWholeFile(const std::string& path, std::string& out, std::string& errorText)
{
    FdGuard fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) {
        errorText = FileErrorText(path, errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        errorText = FileErrorText(path, errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        errorText = FileErrorText(path, EISDIR);
        return false;
    }
    out.clear();
    if (S_ISREG(st.st_mode) && st.st_size > 0)
        out.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            errorText = FileErrorText(path, errno);
            return false;
        }
        if (got == 0)
            break;
        out.append(chunk, static_cast<std::size_t>(got));
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, const void* data, std::size_t size,
                         std::string& errorText)
{
    const std::string target = ResolveTarget(path);
    const std::string folder = FolderOf(target);
    std::string tempPath = folder + "/." + NameOf(target) + ".XXXXXX";

    FdGuard fd(::mkostemp(tempPath.data(), O_CLOEXEC));
    if (fd.Get() < 0) {
        errorText = FileErrorText(target, errno);
        return false;
    }

    auto fail = [&](int error) {
        fd.Close();
        ::unlink(tempPath.c_str());
        errorText = FileErrorText(target, error);
        return false;
    };

    // A replaced file keeps its permissions; a new one gets the usual ones.
    struct stat old {};
    const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777)
                                                            : (0666 & ~CurrentUmask());
    if (::fchmod(fd.Get(), mode) != 0)
        return fail(errno);

    if (!WriteAll(fd.Get(), static_cast<const std::uint8_t*>(data), size))
        return fail(errno);
    if (::fsync(fd.Get()) != 0)
        return fail(errno);
    if (fd.Close() != 0) {
        const int error = errno;
        ::unlink(tempPath.c_str());
        errorText = FileErrorText(target, error);
        return false;
    }
    if (::rename(tempPath.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(tempPath.c_str());
        errorText = FileErrorText(target, error);
        return false;
    }
    SyncFolder(folder);
    return true;
}

} // namespace qm::platform
