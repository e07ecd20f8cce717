#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace qm {

// The buffers that hold loaded payload copies. Payloads are carved out of
// large blocks one after the other and never freed one by one: loading a
// million chunks makes a few dozen allocations, and unloading frees them all
// at once.
class CPayloadArena {
public:
    // size bytes (size > 0), uninitialised, at an even address, valid until Clear().
    std::uint8_t* Allocate(std::size_t size);
    void Clear();
    std::size_t GetBlockCount() const { return m_blocks.size(); }

private:
    static constexpr std::size_t kFirstBlock = 64 * 1024;
    static constexpr std::size_t kLargestBlock = 64 * 1024 * 1024;

    std::vector<std::unique_ptr<std::uint8_t[]>> m_blocks;
    std::uint8_t* m_pNext = nullptr;
    std::size_t m_nLeft = 0;
    std::size_t m_nNextBlock = kFirstBlock;
};

} // namespace qm
