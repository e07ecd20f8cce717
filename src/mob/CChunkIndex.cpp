#include "mob/CChunkIndex.h"

#include <algorithm>

namespace qm {

bool CChunkIndex::SetAtSlow(std::int32_t key, CMobChunk&& rec)
{
    if (key < 1)
        return false;
    const auto slot = static_cast<std::size_t>(key) - 1;
    if (slot < m_records.size()) {
        if (IsGap(slot)) {
            m_gaps[slot] = false;
            ++m_nCount;
        }
        m_records[slot] = std::move(rec);
        return true;
    }
    if (slot > m_records.size()) {
        m_gaps.resize(m_records.size(), false);
        while (m_records.size() < slot) {
            m_records.emplace_back();
            m_gaps.push_back(true);
        }
    }
    m_records.emplace_back(std::move(rec));
    if (!m_gaps.empty())
        m_gaps.push_back(false);
    ++m_nCount;
    return true;
}

CMobChunk* CChunkIndex::Lookup(std::int32_t key)
{
    if (key < 1)
        return nullptr;
    const auto slot = static_cast<std::size_t>(key) - 1;
    return slot < m_records.size() && !IsGap(slot) ? &m_records[slot] : nullptr;
}

const CMobChunk* CChunkIndex::Lookup(std::int32_t key) const
{
    return const_cast<CChunkIndex*>(this)->Lookup(key);
}

void CChunkIndex::RemoveAll()
{
    m_records.clear();
    std::vector<bool>().swap(m_gaps);
    m_nCount = 0;
}

void CChunkIndex::RemoveFrom(std::int32_t key)
{
    const auto keep = static_cast<std::size_t>(std::max(key, 1)) - 1;
    if (keep >= m_records.size())
        return;
    for (std::size_t i = keep; i < m_records.size(); ++i)
        m_nCount -= IsGap(i) ? 0u : 1u;
    m_records.truncate(keep);
    if (!m_gaps.empty())
        m_gaps.resize(keep);
}

} // namespace qm
