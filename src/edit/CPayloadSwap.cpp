#include "edit/CPayloadSwap.h"

#include "edit/DocumentNodes.h"
#include "mob/CMobDocument.h"

#include <cassert>

namespace qm {

void CPayloadSwap::Exchange(CMobDocument& doc)
{
    CMobChunk* rec = RecordOf(doc, m_node);
    assert(rec);
    if (rec)
        rec->ExchangePayload(m_payload, m_nSize);
}

} // namespace qm
