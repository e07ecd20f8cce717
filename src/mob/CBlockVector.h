#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace qm {

// A vector that grows by whole blocks and never moves its elements.
//
// A million-node tree grown in a std::vector is copied again and again as
// it doubles, and every buffer it outgrew stays in the heap afterwards. Here
// growing adds one block, and emptying frees a few dozen blocks at once.
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
            m_blocks.push_back(std::make_unique_for_overwrite<Block>());
        T* element = ::new (static_cast<void*>(&Slot(m_size))) T(std::forward<Args>(args)...);
        ++m_size;
        return *element;
    }

    // Destroys the elements from n on; blocks that become empty are freed.
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
    }

    void clear()
    {
        truncate(0);
        std::vector<std::unique_ptr<Block>>().swap(m_blocks);
    }

private:
    // Raw storage: slots are constructed one by one as the vector grows, and
    // pages of a fresh block are not touched before they are used.
    struct Block {
        alignas(T) unsigned char bytes[kBlockSize * sizeof(T)];
    };

    T& Slot(std::size_t i)
    {
        unsigned char* block = m_blocks[i >> kBlockBits]->bytes;
        return *std::launder(reinterpret_cast<T*>(block + (i & (kBlockSize - 1)) * sizeof(T)));
    }

    std::vector<std::unique_ptr<Block>> m_blocks;
    std::size_t m_size = 0;
};

} // namespace qm
