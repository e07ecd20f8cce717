#include "edit/CPayloadSwap.h"

#include "edit/DocumentNodes.h"
#include "mob/CMobDocument.h"

#include <cassert>

namespace qm {

void CPayloadSwap::Exchange(CMobDocument& doc)
{
    assert(RecordOf(doc, m_node));
    doc.ExchangePayload(m_node, m_payload, m_nSize);
}

} // namespace qm
