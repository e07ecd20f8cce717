#include "platform/CFaultGuard.h"

#include <array>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace qm::platform {

namespace {

struct Slot {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> faulted{false};
    std::atomic<bool> taken{false};
};

// A few slots suffice: a file is guarded only while it is being walked.
std::array<Slot, 16> g_slots;
struct sigaction g_previous {};
std::once_flag g_installed;

void PassOn(int signal, siginfo_t* info, void* context)
{
    if (g_previous.sa_flags & SA_SIGINFO) {
        if (g_previous.sa_sigaction)
            g_previous.sa_sigaction(signal, info, context);
        return;
    }
    if (g_previous.sa_handler == SIG_IGN)
        return;
    if (g_previous.sa_handler == SIG_DFL || g_previous.sa_handler == nullptr) {
        // Put the default back; returning retries the read, which faults
        // again and ends the process the usual way.
        ::signal(signal, SIG_DFL);
        return;
    }
    g_previous.sa_handler(signal);
}

void OnBusError(int signal, siginfo_t* info, void* context)
{
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot& slot : g_slots) {
        if (!slot.taken.load() || address < slot.begin.load() || address >= slot.end.load())
            continue;
        const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        void* pageStart = reinterpret_cast<void*>(address & ~(page - 1));
        if (::mmap(pageStart, page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED)
            break;
        slot.faulted.store(true);
        return;
    }
    PassOn(signal, info, context);
}

void Install()
{
    struct sigaction action {};
    action.sa_sigaction = &OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &g_previous);
}

} // namespace

CFaultGuard::CFaultGuard(const void* begin, std::size_t size)
{
    std::call_once(g_installed, Install);
    for (std::size_t i = 0; i < g_slots.size(); ++i) {
        bool expected = false;
        Slot& slot = g_slots[i];
        if (!slot.taken.compare_exchange_strong(expected, true))
            continue;
        slot.faulted.store(false);
        slot.begin.store(reinterpret_cast<std::uintptr_t>(begin));
        slot.end.store(reinterpret_cast<std::uintptr_t>(begin) + size);
        m_slot = static_cast<int>(i);
        return;
    }
}

CFaultGuard::~CFaultGuard()
{
    if (m_slot < 0)
        return;
    Slot& slot = g_slots[static_cast<std::size_t>(m_slot)];
    slot.end.store(0);
    slot.begin.store(0);
    slot.taken.store(false);
}

bool CFaultGuard::Faulted() const
{
    return m_slot >= 0 && g_slots[static_cast<std::size_t>(m_slot)].faulted.load();
}

} // namespace qm::platform
