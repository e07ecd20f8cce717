#include "mob/CChunkIndex.h"

#include <algorithm>

namespace qm {

bool CChunkIndex::SetAt(std::int32_t key, CMobChunk rec)
{
    if (key < 1)
        return false;
    const auto slot = static_cast<std::size_t>(key) - 1;
    if (slot >= m_records.size()) {
        m_records.resize(slot + 1);
        m_present.resize(slot + 1, false);
    }
    if (!m_present[slot]) {
        m_present[slot] = true;
        ++m_nCount;
    }
    m_records[slot] = std::move(rec);
    return true;
}

CMobChunk* CChunkIndex::Lookup(std::int32_t key)
{
    if (key < 1)
        return nullptr;
    const auto slot = static_cast<std::size_t>(key) - 1;
    return slot < m_records.size() && m_present[slot] ? &m_records[slot] : nullptr;
}

const CMobChunk* CChunkIndex::Lookup(std::int32_t key) const
{
    return const_cast<CChunkIndex*>(this)->Lookup(key);
}

void CChunkIndex::RemoveAll()
{
    // Swapping with empty vectors gives the memory back, not just the size.
    std::vector<CMobChunk>().swap(m_records);
    std::vector<bool>().swap(m_present);
    m_nCount = 0;
}

void CChunkIndex::RemoveFrom(std::int32_t key)
{
    const auto keep = static_cast<std::size_t>(std::max(key, 1)) - 1;
    if (keep >= m_records.size())
        return;
    for (std::size_t i = keep; i < m_records.size(); ++i)
        m_nCount -= m_present[i] ? 1u : 0u;
    m_records.resize(keep);
    m_present.resize(keep);
}

void CChunkIndex::Reserve(std::size_t count)
{
    m_records.reserve(count);
    m_present.reserve(count);
}

} // namespace qm
