#include "edit/CPayloadPatch.h"

#include "edit/DocumentNodes.h"
#include "mob/CMobDocument.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <new>

namespace qm {

std::unique_ptr<CPayloadPatch> CPayloadPatch::Create(NodeId node, std::uint32_t offset,
                                                     std::span<const std::uint8_t> bytes)
{
    const auto length = static_cast<std::uint32_t>(bytes.size());
    void* memory = ::operator new(sizeof(CPayloadPatch) + length);
    std::unique_ptr<CPayloadPatch> patch(new (memory) CPayloadPatch(node, offset, length));
    if (length != 0)
        std::memcpy(patch->Kept(), bytes.data(), length);
    return patch;
}

void CPayloadPatch::Exchange(CMobDocument& doc)
{
    CMobChunk* rec = RecordOf(doc, m_node);
    assert(rec && rec->m_pData && m_nOffset <= rec->m_nSize && m_nLength <= rec->m_nSize - m_nOffset);
    if (!rec || !rec->m_pData || m_nOffset > rec->m_nSize || m_nLength > rec->m_nSize - m_nOffset)
        return;
    // In blocks through a small buffer, which runs at the speed of copying.
    std::uint8_t* at = rec->m_pData.get() + m_nOffset;
    std::uint8_t* kept = Kept();
    std::array<std::uint8_t, 256> block;
    for (std::uint32_t done = 0; done < m_nLength;) {
        const std::uint32_t n = std::min<std::uint32_t>(block.size(), m_nLength - done);
        std::memcpy(block.data(), at + done, n);
        std::memcpy(at + done, kept + done, n);
        std::memcpy(kept + done, block.data(), n);
        done += n;
    }
}

} // namespace qm
