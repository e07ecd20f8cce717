#pragma once

#include "edit/IEditOperation.h"

namespace qm {

// What every change to one chunk's payload shares: the chunk it changed,
// the name it goes by in the Edit menu, and the one file it touches.
class CPayloadStep : public IEditOperation {
public:
    std::string Label(const CMobDocument& doc) const override;
    NodeId Node() const override { return m_node; }
    bool ChangesDescriptions() const override { return false; }
    void CollectFiles(const CMobDocument& doc, std::vector<NodeId>& files) const override;

protected:
    explicit CPayloadStep(NodeId node) : m_node(node) {}

    NodeId m_node;
};

} // namespace qm
