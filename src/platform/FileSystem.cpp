#include "platform/FileSystem.h"

#include "platform/CFileReplacer.h"

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

// "256 MiB" rather than "268435456 bytes" where it is a round figure.
std::string SizeText(std::uint64_t bytes)
{
    constexpr std::uint64_t kMiB = 1ull << 20;
    constexpr std::uint64_t kGiB = 1ull << 30;
    if (bytes >= kGiB && bytes % kGiB == 0)
        return std::to_string(bytes / kGiB) + " GiB";
    if (bytes >= kMiB && bytes % kMiB == 0)
        return std::to_string(bytes / kMiB) + " MiB";
    return std::to_string(bytes) + " bytes";
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

bool ReadWholeFile(const std::string& path, std::string& out, std::string& errorText, std::uint64_t maxBytes,
                   std::size_t spareCapacity)
{
    auto tooLarge = [&] {
        errorText = path + ": the file is larger than " + SizeText(maxBytes) + ", too large to read";
        return false;
    };
    FdGuard fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
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
    if (S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) > maxBytes)
        return tooLarge();
    if (S_ISREG(st.st_mode) && st.st_size > 0)
        out.reserve(static_cast<std::size_t>(st.st_size) + spareCapacity);
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
        if (static_cast<std::uint64_t>(got) > maxBytes - out.size())
            return tooLarge();
        out.append(chunk, static_cast<std::size_t>(got));
    }
    return true;
}

bool WriteFileSafely(const std::string& path, const void* data, std::size_t size, std::string& errorText)
{
    CFileReplacer file;
    if (file.Begin(path) && file.Write(data, size) && file.Commit())
        return true;
    errorText = file.GetError();
    return false;
}

} // namespace qm::platform
