#include "mob/CPayloadArena.h"

#include <algorithm>

namespace qm {

void CPayloadArena::AddBlock(std::size_t size)
{
    // Blocks double up to a limit, so small files stay small and large ones
    // need few blocks; the unused end of the last block is never touched and
    // so costs address space only.
    const std::size_t blockSize = std::max(size, m_nNextBlock);
    m_blocks.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(blockSize));
    m_pNext = m_blocks.back().get();
    m_nLeft = blockSize;
    m_nNextBlock = std::min(m_nNextBlock * 2, kLargestBlock);
}

void CPayloadArena::Clear()
{
    std::vector<std::unique_ptr<std::uint8_t[]>>().swap(m_blocks);
    m_pNext = nullptr;
    m_nLeft = 0;
    m_nNextBlock = kFirstBlock;
}

} // namespace qm
