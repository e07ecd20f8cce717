#include "platform/CInterruptCleanup.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace qm::platform {

namespace {

enum State : int { kIdle, kRemove, kDefer };

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Read by the handler, so nothing here may need a lock or an allocation.
std::atomic<int> g_state{kIdle};
std::atomic<int> g_pending{0};
char g_path[PATH_MAX + 1];

void EndAsTheSignalWould(int signal)
{
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    ::sigemptyset(&plain.sa_mask);
    ::sigaction(signal, &plain, nullptr);
    // Delivered as soon as the handler returns and unblocks it.
    ::raise(signal);
}

void OnInterrupt(int signal)
{
    const int state = g_state.load();
    if (state == kDefer) {
        g_pending.store(signal);
        return;
    }
    if (state == kRemove)
        ::unlink(g_path);
    EndAsTheSignalWould(signal);
}

} // namespace

void CInterruptCleanup::Install()
{
    for (const int signal : kSignals) {
        struct sigaction old {};
        if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        ::sigemptyset(&action.sa_mask);
        for (const int other : kSignals)
            ::sigaddset(&action.sa_mask, other);
        action.sa_flags = SA_RESTART;
        ::sigaction(signal, &action, nullptr);
    }
}

CInterruptCleanup::~CInterruptCleanup()
{
    Release();
}

void CInterruptCleanup::RemoveOnInterrupt(const std::string& path)
{
    // Never a half-written name in the buffer while the handler may read it.
    g_state.store(kDefer);
    if (path.size() < sizeof g_path) {
        std::memcpy(g_path, path.c_str(), path.size() + 1);
        g_state.store(kRemove);
    }
    // An interrupt that came while the file was being made (see Defer)
    // removes it now.
    if (const int pending = g_pending.exchange(0); pending != 0) {
        ::unlink(path.c_str());
        EndAsTheSignalWould(pending);
    }
}

void CInterruptCleanup::Defer()
{
    g_state.store(kDefer);
}

void CInterruptCleanup::Release()
{
    g_state.store(kIdle);
    if (const int pending = g_pending.exchange(0); pending != 0)
        EndAsTheSignalWould(pending);
}

} // namespace qm::platform
