#pragma once

#include <string>

namespace qm::platform {

// What a save must not leave behind when the process is told to stop
// (SIGINT, SIGTERM, SIGHUP) half-way: a temporary file, or a file
// overwritten only in part.
//
// Install() puts a handler in place once, early in main(). While a guard
// names a file, an interrupt removes that file and then ends the process
// as the signal would have. While a guard defers, an interrupt waits until
// the guard goes, and then ends the process. Without a guard an interrupt
// ends the process at once, as if no handler were there. One guard at a
// time: saves run one after the other.
class CInterruptCleanup {
public:
    // Signals the process ignores (nohup) stay ignored.
    static void Install();

    CInterruptCleanup() = default;
    ~CInterruptCleanup();
    CInterruptCleanup(const CInterruptCleanup&) = delete;
    CInterruptCleanup& operator=(const CInterruptCleanup&) = delete;

    // An interrupt from now on removes path first, and one that was
    // deferred removes it now.
    void RemoveOnInterrupt(const std::string& path);
    // An interrupt from now on waits for this guard to go, or for a file
    // that is being made to be named: Defer(), create it, RemoveOnInterrupt().
    void Defer();
    // Neither; an interrupt that waited ends the process now.
    void Release();
};

} // namespace qm::platform
