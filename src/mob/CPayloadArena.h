#pragma once

#include "platform/CBulkMemory.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qm {

// The buffers that hold loaded payload copies. Payloads are carved out of
// large blocks one after the other and never freed one by one: loading a
// million chunks makes one or a few allocations, and unloading frees them
// all at once.
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
    // Makes sure the next allocations of up to size bytes in all come from
    // one block: a load asks for its file's size, which its payloads never
    // exceed. Costs address space only; where even that cannot be had, the
    // blocks grow one by one as before.
    void Reserve(std::size_t size);
    // Lets the memory past the last allocation go (the rest of a huge page
    // left half used at the end of a load); it comes back when used.
    void ReleaseUnused();
    void Clear();
    std::size_t GetBlockCount() const { return m_blocks.size(); }

private:
    void AddBlock(std::size_t size);

    static constexpr std::size_t kFirstBlock = 64 * 1024;
    static constexpr std::size_t kLargestBlock = 64 * 1024 * 1024;

    std::vector<platform::CBulkMemory> m_blocks;
    std::uint8_t* m_pNext = nullptr;
    std::size_t m_nLeft = 0;
    std::size_t m_nNextBlock = kFirstBlock;
};

} // namespace qm
