#pragma once

#include <cstddef>
#include <cstdint>

namespace qm {

// The payload bytes of one chunk record.
//
// Loading copies every payload once into one buffer per file, which the
// document owns; records borrow their bytes from it. A payload built later
// (the parser's replacement) is owned by its record and freed with it. One
// pointer-sized word tells the two apart, so a million records cost no more
// than a million pointers.
class CPayload {
public:
    CPayload() = default;
    CPayload(const CPayload&) = delete;
    CPayload& operator=(const CPayload&) = delete;
    CPayload(CPayload&& other) noexcept : m_bits(other.m_bits) { other.m_bits = 0; }
    CPayload& operator=(CPayload&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_bits = other.m_bits;
            other.m_bits = 0;
        }
        return *this;
    }
    ~CPayload() { reset(); }

    // Bytes that live elsewhere for at least as long as this record; data
    // must be at an even address.
    static CPayload Borrow(std::uint8_t* data);
    // A new owned buffer of size bytes, zero-filled; empty when size is 0.
    static CPayload Allocate(std::size_t size);
    // A new owned copy of size bytes; empty when size is 0.
    static CPayload Copy(const std::uint8_t* data, std::size_t size);

    std::uint8_t* get() const { return reinterpret_cast<std::uint8_t*>(m_bits & ~kOwnedBit); }
    explicit operator bool() const { return m_bits != 0; }
    bool IsOwned() const { return (m_bits & kOwnedBit) != 0; }
    void reset()
    {
        if (IsOwned())
            Free();
        m_bits = 0;
    }

private:
    void Free();

    // Both owned and borrowed buffers start at an even address, so the
    // lowest bit of the address is free to mark the owned ones.
    static constexpr std::uintptr_t kOwnedBit = 1;

    std::uintptr_t m_bits = 0;
};

} // namespace qm
