#include "edit/CPayloadPatch.h"

#include "edit/DocumentNodes.h"
#include "mob/CMobDocument.h"

#include <algorithm>
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
    std::uint8_t* at = rec->m_pData.get() + m_nOffset;
    std::swap_ranges(at, at + m_nLength, Kept());
}

} // namespace qm
