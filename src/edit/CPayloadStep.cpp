#include "edit/CPayloadStep.h"

#include "edit/DocumentNodes.h"
#include "mob/CMobDocument.h"

namespace qm {

std::string CPayloadStep::Label(const CMobDocument& doc) const
{
    return "Apply to " + NodeName(doc, m_node);
}

void CPayloadStep::CollectFiles(const CMobDocument& doc, std::vector<NodeId>& files) const
{
    files.push_back(FileNodeOf(doc.Tree(), m_node));
}

} // namespace qm
