#include "mob/CPayloadArena.h"

#include <algorithm>
#include <new>

namespace qm {

void CPayloadArena::AddBlock(std::size_t size)
{
    // Blocks double up to a limit, so small files stay small and large ones
    // need few blocks; the unused end of the last block is never touched and
    // so costs address space only.
    const std::size_t blockSize = std::max(size, m_nNextBlock);
    m_blocks.emplace_back(blockSize);
    m_pNext = m_blocks.back().Data();
    m_nLeft = blockSize;
    m_nNextBlock = std::min(m_nNextBlock * 2, kLargestBlock);
}

void CPayloadArena::Reserve(std::size_t size)
{
    if (size <= m_nLeft)
        return;
    try {
        AddBlock(size);
    } catch (const std::bad_alloc&) {
        // Only a hint: Allocate() asks for what it needs when it needs it.
    }
}

void CPayloadArena::ReleaseUnused()
{
    if (!m_blocks.empty())
        m_blocks.back().ReleaseFrom(static_cast<std::size_t>(m_pNext - m_blocks.back().Data()));
}

void CPayloadArena::Clear()
{
    std::vector<platform::CBulkMemory>().swap(m_blocks);
    m_pNext = nullptr;
    m_nLeft = 0;
    m_nNextBlock = kFirstBlock;
}

} // namespace qm
