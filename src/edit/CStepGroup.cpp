#include "edit/CStepGroup.h"

#include <algorithm>
#include <ranges>

namespace qm {

PreparedEdit CStepGroup::Of(std::vector<PreparedEdit> parts, std::string label, NodeId node)
{
    std::vector<std::unique_ptr<IEditOperation>> ops;
    for (PreparedEdit& part : parts) {
        if (part.Refused())
            return PreparedEdit::Refuse(std::move(part.error));
        if (part.op)
            ops.push_back(std::move(part.op));
    }
    if (ops.empty())
        return PreparedEdit::Unchanged();
    if (ops.size() == 1)
        return {std::move(ops.front()), {}};
    return {std::make_unique<CStepGroup>(std::move(ops), std::move(label), node), {}};
}

CStepGroup::CStepGroup(std::vector<std::unique_ptr<IEditOperation>> parts, std::string label, NodeId node)
    : m_parts(std::move(parts)), m_strLabel(std::move(label)), m_node(node)
{
}

void CStepGroup::Apply(CMobDocument& doc)
{
    for (const auto& part : m_parts)
        part->Apply(doc);
}

void CStepGroup::Revert(CMobDocument& doc)
{
    for (const auto& part : std::views::reverse(m_parts))
        part->Revert(doc);
}

std::size_t CStepGroup::KeptBytes() const
{
    std::size_t bytes = sizeof(CStepGroup) + m_strLabel.capacity() + m_parts.capacity() * sizeof(m_parts[0]);
    for (const auto& part : m_parts)
        bytes += part->KeptBytes();
    return bytes;
}

bool CStepGroup::ChangesDescriptions() const
{
    return std::ranges::any_of(m_parts, [](const auto& part) { return part->ChangesDescriptions(); });
}

void CStepGroup::CollectFiles(const CMobDocument& doc, std::vector<NodeId>& files) const
{
    for (const auto& part : m_parts)
        part->CollectFiles(doc, files);
}

} // namespace qm
