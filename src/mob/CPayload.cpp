#include "mob/CPayload.h"

#include <cassert>
#include <cstring>
#include <new>

namespace qm {

namespace {
constexpr std::align_val_t kOwnedAlignment{2};
}

CPayload CPayload::Borrow(std::uint8_t* data)
{
    CPayload payload;
    payload.m_bits = reinterpret_cast<std::uintptr_t>(data);
    assert((payload.m_bits & kOwnedBit) == 0);
    return payload;
}

CPayload CPayload::Allocate(std::size_t size)
{
    CPayload payload;
    if (size == 0)
        return payload;
    void* memory = ::operator new(size, kOwnedAlignment);
    std::memset(memory, 0, size);
    payload.m_bits = reinterpret_cast<std::uintptr_t>(memory) | kOwnedBit;
    return payload;
}

CPayload CPayload::Copy(const std::uint8_t* data, std::size_t size)
{
    CPayload payload = Allocate(size);
    if (size != 0)
        std::memcpy(payload.get(), data, size);
    return payload;
}

void CPayload::Free()
{
    ::operator delete(get(), kOwnedAlignment);
}

} // namespace qm
