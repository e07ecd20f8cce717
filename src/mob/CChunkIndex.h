#pragma once

#include "mob/CBlockVector.h"
#include "mob/CMobChunk.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qm {

// The chunk index: node key to record. Node keys are dense (1, 2, 3, ... in
// the order nodes were inserted), so the records sit in one block vector
// indexed by key and a lookup is an array access.
class CChunkIndex {
public:
    // Stores rec under key, replacing any record there. Keys below 1 are refused.
    bool SetAt(std::int32_t key, CMobChunk&& rec)
    {
        // Loading stores every record right behind the last one.
        if (key >= 1 && static_cast<std::size_t>(key) == m_records.size() + 1 && m_gaps.empty()) {
            m_records.emplace_back(std::move(rec));
            ++m_nCount;
            return true;
        }
        return SetAtSlow(key, std::move(rec));
    }
    CMobChunk* Lookup(std::int32_t key);
    const CMobChunk* Lookup(std::int32_t key) const;
    std::size_t GetCount() const { return m_nCount; }
    // Lets memory reserved for records not yet stored go back to the system.
    void ReleaseUnused() { m_records.release_unused(); }
    void RemoveAll();
    // Removes every record under key or a later key.
    void RemoveFrom(std::int32_t key);

    template <class Visitor>
    void ForEach(Visitor&& visit) const
    {
        for (std::size_t i = 0; i < m_records.size(); ++i) {
            if (!IsGap(i))
                visit(static_cast<std::int32_t>(i + 1), m_records[i]);
        }
    }

private:
    bool SetAtSlow(std::int32_t key, CMobChunk&& rec);
    bool IsGap(std::size_t slot) const { return !m_gaps.empty() && m_gaps[slot]; }

    CBlockVector<CMobChunk> m_records;
    // Only when a key was skipped: which slots hold no record. Loading
    // never skips one, so this stays empty and costs nothing.
    std::vector<bool> m_gaps;
    std::size_t m_nCount = 0;
};

} // namespace qm
