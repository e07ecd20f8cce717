#pragma once

#include <string>
#include <string_view>

namespace qm::platform {

// A lock shared by every process of the same user under one name.
//
// It is a lock file in a folder only this user can reach ($XDG_RUNTIME_DIR,
// or a 0700 folder of ours under the temporary folder), taken with flock().
// The kernel drops the lock when its holder ends in any way, so a killed
// holder never leaves the others waiting for ever.
class CProcessLock {
public:
    CProcessLock() = default;
    CProcessLock(const CProcessLock&) = delete;
    CProcessLock& operator=(const CProcessLock&) = delete;
    ~CProcessLock();

    // Creates or opens the lock; it is not held afterwards.
    bool Open(std::string_view name);
    // Waits without a time limit until the lock is ours.
    bool Lock();
    void Unlock();
    void Close();

    bool IsOpen() const { return m_fd >= 0; }
    bool IsLocked() const { return m_bLocked; }
    const std::string& GetError() const { return m_strError; }

    // The private folder that holds the lock files, created when missing.
    // Empty, with the reason in error, when no safe folder can be had.
    static std::string LockFolder(std::string& error);

private:
    int m_fd = -1;
    bool m_bLocked = false;
    std::string m_strError;
};

} // namespace qm::platform
