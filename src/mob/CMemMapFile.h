#pragma once

#include "platform/CFaultGuard.h"
#include "platform/CProcessLock.h"

#include <cstdint>
#include <memory>
#include <string>

namespace qm {

// A read-only mapping of a whole file, walked in place by the loader, and
// the lock that every running copy of the program takes while it reads a
// file. The object owns the file descriptor from the moment it is stored in
// m_hFile and releases everything in Close(), which the destructor also runs.
class CMemMapFile {
public:
    CMemMapFile() = default;
    CMemMapFile(const CMemMapFile&) = delete;
    CMemMapFile& operator=(const CMemMapFile&) = delete;
    ~CMemMapFile() { Close(); }

    // Maps m_nDataSize bytes of m_hFile from offset, and opens the lock
    // named m_strName + "MUTEX" (not held). True when a view was mapped.
    bool MapFile(std::uint32_t offset);
    // Waits without a time limit for the lock, unless onWait gives up; the
    // view's address once it is held, none on failure.
    const std::uint8_t* Lock(const platform::CProcessLock::WaitCallback& onWait = {});
    void Unlock();
    // Releases the lock, the view, the file and the lock handle, in that
    // order; harmless on an object with nothing open, and when repeated.
    void Close();

    // The reader is done with the bytes before offset: their pages stop
    // counting against the process (they stay in the page cache, and a
    // later read fetches them again).
    void ReleaseBefore(std::uint32_t offset);

    const std::uint8_t* GetView() const { return m_pView; }
    // True when the file was cut short by someone else while mapped: the
    // missing part read as zeros, so what was read is not the file.
    bool DataWasLost() const { return m_faultGuard && m_faultGuard->Faulted(); }
    const std::string& GetError() const { return m_strError; }

    int m_hFile = -1;
    bool m_bReadOnly = true;
    bool m_bAddTerminator = false;
    std::string m_strName;
    std::uint32_t m_nDataSize = 0;

private:
    const std::uint8_t* m_pView = nullptr;
    std::size_t m_nViewSize = 0;
    std::uint32_t m_nReleased = 0;  // bytes at the start of the view already let go
    bool m_bLocked = false;
    platform::CProcessLock m_hMutex;
    std::unique_ptr<platform::CFaultGuard> m_faultGuard;
    std::string m_strError;
};

} // namespace qm
