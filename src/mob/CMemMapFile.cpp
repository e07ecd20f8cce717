#include "mob/CMemMapFile.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <sys/mman.h>
#include <unistd.h>

namespace qm {

bool CMemMapFile::MapFile(std::uint32_t offset)
{
    m_strError.clear();
    // Only read-only views of whole pages from offset 0 are ever asked for;
    // the offset must be page aligned for mmap all the same.
    const auto page = static_cast<std::uint32_t>(::sysconf(_SC_PAGESIZE));
    if (m_hFile < 0 || m_nDataSize == 0 || offset % page != 0 || !m_bReadOnly) {
        m_strError = "Invalid mapping request";
        Close();
        return false;
    }
    void* view = ::mmap(nullptr, m_nDataSize, PROT_READ, MAP_PRIVATE, m_hFile, static_cast<off_t>(offset));
    if (view == MAP_FAILED)
        m_strError = platform::SystemErrorText(errno);
    else {
        m_pView = static_cast<const std::uint8_t*>(view);
        m_nViewSize = m_nDataSize;
        m_faultGuard = std::make_unique<platform::CFaultGuard>(m_pView, m_nViewSize);
    }
    // The lock is opened even when mapping failed; Close() releases both.
    if (!m_hMutex.Open(m_strName + "MUTEX") && m_strError.empty())
        m_strError = m_hMutex.GetError();
    return m_pView != nullptr;
}

const std::uint8_t* CMemMapFile::Lock(const platform::CProcessLock::WaitCallback& onWait)
{
    if (!m_pView || !m_hMutex.IsOpen())
        return nullptr;
    if (!m_hMutex.Lock(onWait)) {
        m_strError = m_hMutex.GetError();
        return nullptr;
    }
    m_bLocked = true;
    return m_pView;
}

void CMemMapFile::ReleaseBefore(std::uint32_t offset)
{
    const auto page = static_cast<std::uint32_t>(::sysconf(_SC_PAGESIZE));
    const std::uint32_t end = std::min<std::uint32_t>(offset, static_cast<std::uint32_t>(m_nViewSize)) / page * page;
    if (!m_pView || end <= m_nReleased)
        return;
    (void)::madvise(const_cast<std::uint8_t*>(m_pView) + m_nReleased, end - m_nReleased, MADV_DONTNEED);
    m_nReleased = end;
}

void CMemMapFile::Unlock()
{
    if (!m_bLocked)
        return;
    m_bLocked = false;
    m_hMutex.Unlock();
}

void CMemMapFile::Close()
{
    Unlock();
    if (m_pView) {
        m_faultGuard.reset();
        ::munmap(const_cast<std::uint8_t*>(m_pView), m_nViewSize);
        m_pView = nullptr;
        m_nViewSize = 0;
        m_nReleased = 0;
    }
    if (m_hFile >= 0) {
        ::close(m_hFile);
        m_hFile = -1;
    }
    m_hMutex.Close();
    m_bReadOnly = true;
    m_strName.clear();
    m_nDataSize = 0;
}

} // namespace qm
