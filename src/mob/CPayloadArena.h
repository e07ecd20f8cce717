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
    std::uint8_t* Allocate(std::size_t size)
    {
        // Every allocation starts at an even address: CPayload uses the
        // lowest address bit to tell owned buffers from borrowed ones.
        size += size & 1;
        if (size > m_nLeft)
            AddBlock(size);
        std::uint8_t* result = m_pNext;
        m_pNext += size;
        m_nLeft -= size;
        return result;
    }
    void Clear();
    std::size_t GetBlockCount() const { return m_blocks.size(); }

private:
    void AddBlock(std::size_t size);

    static constexpr std::size_t kFirstBlock = 64 * 1024;
    static constexpr std::size_t kLargestBlock = 64 * 1024 * 1024;

    std::vector<std::unique_ptr<std::uint8_t[]>> m_blocks;
    std::uint8_t* m_pNext = nullptr;
    std::size_t m_nLeft = 0;
    std::size_t m_nNextBlock = kFirstBlock;
};

} // namespace qm
