#pragma once

#include "edit/CPayloadStep.h"
#include "mob/CPayload.h"

#include <cstdint>
#include <memory>

namespace qm {

// A payload replaced whole: what applying text to a string, script or list
// does. The step holds the other payload object and its size, moved and
// never copied, and trades them with the record's on every apply and revert.
class CPayloadSwap final : public CPayloadStep {
public:
    // A step that gives node's record payload (size bytes, or none) in place
    // of the one it has.
    CPayloadSwap(NodeId node, CPayload payload, std::uint32_t size)
        : CPayloadStep(node), m_nSize(size), m_payload(std::move(payload))
    {
    }

    void Apply(CMobDocument& doc) override { Exchange(doc); }
    void Revert(CMobDocument& doc) override { Exchange(doc); }
    // Bytes still in the load's buffers are freed with the document, not
    // with the step, so they do not count.
    std::size_t KeptBytes() const override { return sizeof(CPayloadSwap) + (m_payload.IsOwned() ? m_nSize : 0); }

private:
    void Exchange(CMobDocument& doc);

    std::uint32_t m_nSize;
    CPayload m_payload;
};

} // namespace qm
