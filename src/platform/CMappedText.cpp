#include "platform/CMappedText.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm::platform {

namespace {

std::size_t RoundUp(std::size_t size, std::size_t page)
{
    return (size + page - 1) / page * page;
}

} // namespace

CMappedText::~CMappedText()
{
    Close();
}

void CMappedText::Close()
{
    m_guard.reset();
    if (m_pMapping)
        ::munmap(m_pMapping, m_nMappingSize);
    m_pMapping = nullptr;
    m_nMappingSize = 0;
    m_pData = nullptr;
    m_nSize = 0;
    m_copy.clear();
}

bool CMappedText::Open(const std::string& path)
{
    Close();
    m_strError.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        m_strError = FileErrorText(path, errno);
        return false;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!regular) {
        ::close(fd);
        if (!ReadWholeFile(path, m_copy, m_strError, UINT64_MAX, kZeroTail))
            return false;
        m_nSize = m_copy.size();
        m_copy.resize(m_nSize + kZeroTail, '\0');
        m_pData = m_copy.data();
        return true;
    }
    // Zero pages first, then the file over their start: the bytes past the
    // file's end in its last page read as zero, and so do the pages behind.
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const auto size = static_cast<std::size_t>(st.st_size);
    m_nMappingSize = RoundUp(size, page) + RoundUp(kZeroTail, page);
    void* zeros = ::mmap(nullptr, m_nMappingSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (zeros == MAP_FAILED) {
        m_strError = FileErrorText(path, errno);
        m_nMappingSize = 0;
        ::close(fd);
        return false;
    }
    m_pMapping = zeros;
    if (size != 0 && ::mmap(zeros, size, PROT_READ, MAP_PRIVATE | MAP_FIXED, fd, 0) == MAP_FAILED) {
        m_strError = FileErrorText(path, errno);
        ::close(fd);
        Close();
        return false;
    }
    ::close(fd);
    m_pData = static_cast<const char*>(zeros);
    m_nSize = size;
    if (size != 0)
        m_guard = std::make_unique<CFaultGuard>(m_pData, size);
    return true;
}

} // namespace qm::platform
