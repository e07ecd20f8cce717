#pragma once

#include "edit/IEditOperation.h"

#include <memory>
#include <string>
#include <vector>

namespace qm {

// Several operations the user asked for in one action (the accepted rows of
// the type guesses), done and undone as one step: applied in order and
// reverted in the reverse order, so each part meets the document as it
// left it.
class CStepGroup final : public IEditOperation {
public:
    // The parts must have been prepared so that each can be applied after
    // the ones before it (for example entries of distinct keys). No parts
    // give nothing to do; one part is that part alone. A refused part
    // refuses the whole group.
    static PreparedEdit Of(std::vector<PreparedEdit> parts, std::string label, NodeId node);

    CStepGroup(std::vector<std::unique_ptr<IEditOperation>> parts, std::string label, NodeId node);

    void Apply(CMobDocument& doc) override;
    void Revert(CMobDocument& doc) override;
    std::string Label(const CMobDocument& /*doc*/) const override { return m_strLabel; }
    NodeId Node() const override { return m_node; }
    std::size_t KeptBytes() const override;
    bool ChangesDescriptions() const override;
    void CollectFiles(const CMobDocument& doc, std::vector<NodeId>& files) const override;

private:
    std::vector<std::unique_ptr<IEditOperation>> m_parts;
    std::string m_strLabel;
    NodeId m_node;
};

} // namespace qm
