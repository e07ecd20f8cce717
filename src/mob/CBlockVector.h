#pragma once

#include "platform/CBulkMemory.h"

#include <cstddef>
#include <new>
#include <numeric>
#include <type_traits>
#include <utility>
#include <vector>

namespace qm {

// A vector that grows by whole blocks and never moves its elements.
//
// A million-node tree grown in a std::vector is copied again and again as
// it doubles, and every buffer it outgrew stays in the heap afterwards. Here
// growing adds one block, and emptying frees a few regions at once.
//
// Blocks are carved one after the other out of regions of bulk memory. The
// first region holds one block in ordinary pages, so a small vector stays
// small; later ones are whole huge pages, so that a million elements cost a
// few dozen page faults rather than ten thousand.
template <class T, unsigned kBlockBits = 16>
class CBlockVector {
public:
    static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockBits;

    CBlockVector() = default;
    CBlockVector(const CBlockVector&) = delete;
    CBlockVector& operator=(const CBlockVector&) = delete;
    ~CBlockVector() { clear(); }

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    T& operator[](std::size_t i) { return Slot(i); }
    const T& operator[](std::size_t i) const { return const_cast<CBlockVector*>(this)->Slot(i); }

    template <class... Args>
    T& emplace_back(Args&&... args)
    {
        if ((m_size >> kBlockBits) == m_blocks.size())
            AddBlock();
        T* element = ::new (static_cast<void*>(&Slot(m_size))) T(std::forward<Args>(args)...);
        ++m_size;
        return *element;
    }

    // Destroys the elements from n on; regions that become empty are freed.
    void truncate(std::size_t n)
    {
        if (n >= m_size)
            return;
        if constexpr (!std::is_trivially_destructible_v<T>) {
            for (std::size_t i = n; i < m_size; ++i)
                Slot(i).~T();
        }
        m_size = n;
        m_blocks.resize((n + kBlockSize - 1) >> kBlockBits);
        while (!m_regions.empty() && m_regions.back().firstBlock >= m_blocks.size())
            m_regions.pop_back();
    }

    // Lets the memory past the last element go (the rest of a huge page
    // left half used); it comes back when the vector grows.
    void release_unused()
    {
        if (m_regions.empty())
            return;
        const Region& region = m_regions.back();
        const std::size_t used = m_size - region.firstBlock * kBlockSize;
        region.memory.ReleaseFrom(used * sizeof(T));
    }

    void clear()
    {
        truncate(0);
        std::vector<unsigned char*>().swap(m_blocks);
        std::vector<Region>().swap(m_regions);
    }

private:
    static constexpr std::size_t kBlockBytes = kBlockSize * sizeof(T);
    // Blocks in a region after the first: the fewest whose bytes fill whole
    // huge pages (2 MiB), so that no huge page is half used.
    static constexpr std::size_t kRegionBlocks = (std::size_t{2} << 20) / std::gcd(kBlockBytes, std::size_t{2} << 20);

    struct Region {
        platform::CBulkMemory memory;
        std::size_t firstBlock;
    };

    void AddBlock()
    {
        const std::size_t block = m_blocks.size();
        if (m_regions.empty() || block - m_regions.back().firstBlock >= RegionBlocks(m_regions.size() - 1)) {
            const std::size_t blocks = RegionBlocks(m_regions.size());
            m_regions.push_back({platform::CBulkMemory(blocks * kBlockBytes), block});
        }
        const Region& region = m_regions.back();
        m_blocks.push_back(region.memory.Data() + (block - region.firstBlock) * kBlockBytes);
    }

    static std::size_t RegionBlocks(std::size_t region) { return region == 0 ? 1 : kRegionBlocks; }

    T& Slot(std::size_t i)
    {
        unsigned char* block = m_blocks[i >> kBlockBits];
        return *std::launder(reinterpret_cast<T*>(block + (i & (kBlockSize - 1)) * sizeof(T)));
    }

    std::vector<unsigned char*> m_blocks;
    std::vector<Region> m_regions;
    std::size_t m_size = 0;
};

} // namespace qm
