#include "LoadFloor.h"

#include "platform/CBulkMemory.h"
#include "platform/LittleEndian.h"
#include "tools/CSyntheticMob.h"

#include <cstring>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qm::bench {

std::uint64_t LoadFloor(const std::string& path, const std::unordered_set<std::uint32_t>& containers, bool hugePages)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size == 0)
        throw std::runtime_error("cannot open " + path);
    const auto size = static_cast<std::size_t>(st.st_size);
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED)
        throw std::runtime_error("cannot map " + path);
    const auto* data = static_cast<const std::uint8_t*>(mapped);
    // Fresh memory as any program gets it, or in huge pages as the
    // document's payloads are kept.
    std::unique_ptr<std::uint8_t[]> plain;
    platform::CBulkMemory bulk;
    if (hugePages)
        bulk = platform::CBulkMemory(size);
    else
        plain = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    std::uint8_t* const copy = hugePages ? bulk.Data() : plain.get();
    std::uint8_t* out = copy;
    std::uint64_t headers = 0;

    struct Range {
        std::size_t pos;
        std::size_t end;
    };
    std::vector<Range> stack{{0, size}};
    while (!stack.empty()) {
        Range& range = stack.back();
        if (range.end - range.pos < 8) {
            stack.pop_back();
            continue;
        }
        const std::uint32_t id = le::ReadU32(data + range.pos);
        const std::uint32_t chunkSize = le::ReadU32(data + range.pos + 4);
        const std::size_t payload = range.pos + 8;
        range.pos += chunkSize;
        ++headers;
        if (containers.count(id) != 0) {
            stack.push_back({payload, payload + chunkSize - 8});
        } else {
            std::memcpy(out, data + payload, chunkSize - 8);
            out += chunkSize - 8;
        }
    }
    // The copy must be made whatever the optimiser thinks of it.
    asm volatile("" : : "r"(copy) : "memory");
    ::munmap(mapped, size);
    ::close(fd);
    return headers;
}

std::unordered_set<std::uint32_t> SyntheticContainerIds()
{
    const auto ids = tools::CSyntheticMob::ContainerIds();
    return {ids.begin(), ids.end()};
}

} // namespace qm::bench
