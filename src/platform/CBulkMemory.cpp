#include "platform/CBulkMemory.h"

#include <cstdlib>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace qm::platform {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// AddressSanitizer watches only the heap: under it the block comes from
// there, so that a write past the loaded payloads is still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kFromHeap = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kFromHeap = true;
#else
constexpr bool kFromHeap = false;
#endif
#else
constexpr bool kFromHeap = false;
#endif

std::size_t PageSize()
{
    static const auto size = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

std::uintptr_t RoundUp(std::uintptr_t value, std::size_t to)
{
    return (value + to - 1) / to * to;
}

} // namespace

CBulkMemory::CBulkMemory(std::size_t size)
{
    if (size == 0)
        return;
    if (kFromHeap) {
        m_pMapping = std::calloc(size, 1);
        if (!m_pMapping)
            throw std::bad_alloc();
        m_pData = static_cast<std::uint8_t*>(m_pMapping);
        m_nSize = size;
        return;
    }
    // Huge pages need a block that starts on a huge page boundary: ask for
    // one huge page more and start at the first boundary inside.
    const bool huge = size >= kHugePage;
    const std::size_t alignment = huge ? kHugePage : PageSize();
    const std::size_t length = RoundUp(size, alignment) + (huge ? kHugePage : 0);
    // Not MAP_NORESERVE: the system may still refuse a size it could never
    // back, and the caller hears bad_alloc instead of the process being
    // killed when the pages are written.
    void* mapping = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
        throw std::bad_alloc();
    m_pMapping = mapping;
    m_nMappingSize = length;
    m_pData = reinterpret_cast<std::uint8_t*>(RoundUp(reinterpret_cast<std::uintptr_t>(mapping), alignment));
    m_nSize = size;
#ifdef MADV_HUGEPAGE
    // Only advice: where huge pages are switched off, pages stay small.
    if (huge)
        (void)::madvise(m_pData, RoundUp(size, kHugePage), MADV_HUGEPAGE);
#endif
}

CBulkMemory::~CBulkMemory()
{
    Release();
}

CBulkMemory::CBulkMemory(CBulkMemory&& other) noexcept
    : m_pData(std::exchange(other.m_pData, nullptr)), m_nSize(std::exchange(other.m_nSize, 0)),
      m_pMapping(std::exchange(other.m_pMapping, nullptr)), m_nMappingSize(std::exchange(other.m_nMappingSize, 0))
{
}

CBulkMemory& CBulkMemory::operator=(CBulkMemory&& other) noexcept
{
    if (this != &other) {
        Release();
        m_pData = std::exchange(other.m_pData, nullptr);
        m_nSize = std::exchange(other.m_nSize, 0);
        m_pMapping = std::exchange(other.m_pMapping, nullptr);
        m_nMappingSize = std::exchange(other.m_nMappingSize, 0);
    }
    return *this;
}

void CBulkMemory::ReleaseFrom(std::size_t offset) const
{
    if (kFromHeap)
        return;
    const auto begin = RoundUp(reinterpret_cast<std::uintptr_t>(m_pData) + offset, PageSize());
    const auto end = reinterpret_cast<std::uintptr_t>(m_pMapping) + m_nMappingSize;
    if (m_pData && begin < end)
        (void)::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
}

void CBulkMemory::Release()
{
    if (m_pMapping && kFromHeap)
        std::free(m_pMapping);
    else if (m_pMapping)
        ::munmap(m_pMapping, m_nMappingSize);
    m_pMapping = nullptr;
    m_nMappingSize = 0;
    m_pData = nullptr;
    m_nSize = 0;
}

} // namespace qm::platform
