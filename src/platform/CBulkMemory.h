#pragma once

#include <cstddef>
#include <cstdint>

namespace qm::platform {

// A large block of memory straight from the system, for bytes that are
// written once and kept long (the loaded payloads). Reserving costs
// address space only: pages become resident as they are first written, and
// where the system offers them in huge pages (2 MiB on x86-64), so that a
// 100 MB load takes some fifty page faults instead of twenty-five thousand.
// The contents start as zeros.
class CBulkMemory {
public:
    CBulkMemory() = default;
    // Throws std::bad_alloc when the address space cannot be had.
    explicit CBulkMemory(std::size_t size);
    ~CBulkMemory();
    CBulkMemory(CBulkMemory&& other) noexcept;
    CBulkMemory& operator=(CBulkMemory&& other) noexcept;
    CBulkMemory(const CBulkMemory&) = delete;
    CBulkMemory& operator=(const CBulkMemory&) = delete;

    std::uint8_t* Data() const { return m_pData; }
    std::size_t Size() const { return m_nSize; }

    // Gives the pages from offset on back to the system, as far as whole
    // pages go: the unused end of a huge page stops counting against the
    // process. They read as zeros when touched again.
    void ReleaseFrom(std::size_t offset) const;

private:
    void Release();

    std::uint8_t* m_pData = nullptr;
    std::size_t m_nSize = 0;
    void* m_pMapping = nullptr;
    std::size_t m_nMappingSize = 0;
};

} // namespace qm::platform
