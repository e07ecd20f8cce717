#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace qm::platform {

// A lock shared by every process of the same user under one name.
//
// It is a lock file in a folder only this user can own, taken with flock():
// $XDG_RUNTIME_DIR when it is private, else "quillmere" in the user's state
// folder ($XDG_STATE_HOME, or ~/.local/state), which no other user can
// create first. The kernel drops the lock when its holder ends in any way,
// so a killed holder never leaves the others waiting for ever.
class CProcessLock {
public:
    // Asked about every 50 ms while another process holds the lock, with
    // the time waited so far; false gives up waiting.
    using WaitCallback = std::function<bool(std::chrono::milliseconds waited)>;

    CProcessLock() = default;
    CProcessLock(const CProcessLock&) = delete;
    CProcessLock& operator=(const CProcessLock&) = delete;
    ~CProcessLock();

    // Creates or opens the lock; it is not held afterwards.
    bool Open(std::string_view name);
    // Waits without a time limit until the lock is ours, unless onWait
    // gives up first.
    bool Lock(const WaitCallback& onWait = {});
    void Unlock();
    void Close();

    bool IsOpen() const { return m_fd >= 0; }
    bool IsLocked() const { return m_bLocked; }
    const std::string& GetError() const { return m_strError; }

    // The private folder that holds the lock files, created when missing.
    // Empty, with the reason in error, when no safe folder can be had.
    static std::string LockFolder(std::string& error);

private:
    bool WaitPolling(const WaitCallback& onWait);

    int m_fd = -1;
    bool m_bLocked = false;
    std::string m_strError;
};

} // namespace qm::platform
