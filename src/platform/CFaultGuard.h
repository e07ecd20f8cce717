#pragma once

#include <cstddef>

namespace qm::platform {

// Keeps a read of a mapped file from killing the process when the file is
// cut short by someone else while it is mapped.
//
// Reading a mapped page that no longer has file data behind it raises
// SIGBUS. While a guard is alive, such a fault inside its range is answered
// by putting a page of zeros where the data was, so the read goes on and
// sees zeros, and Faulted() tells the reader that what it read cannot be
// trusted. Faults anywhere else go to whatever handled SIGBUS before.
class CFaultGuard {
public:
    CFaultGuard(const void* begin, std::size_t size);
    ~CFaultGuard();
    CFaultGuard(const CFaultGuard&) = delete;
    CFaultGuard& operator=(const CFaultGuard&) = delete;

    bool Faulted() const;
    // False when every slot was taken; the range is then unguarded.
    bool IsActive() const { return m_slot >= 0; }

private:
    int m_slot = -1;
};

} // namespace qm::platform
