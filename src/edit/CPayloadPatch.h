#pragma once

#include "edit/CPayloadStep.h"

#include <cstdint>
#include <memory>
#include <span>

namespace qm {

// Bytes overwritten inside a payload that keeps its size and its buffer:
// what applying text to a value of fixed layout does. The step holds the
// other version of the changed range only, and trades it with the payload's
// bytes on every apply and revert.
//
// The range lives in the same allocation as the step, so that a step costs
// one allocation and the bytes it changed, whatever their number.
class CPayloadPatch final : public CPayloadStep {
public:
    // A step that puts bytes at offset into node's payload; the range must
    // lie inside the payload when the step is applied.
    static std::unique_ptr<CPayloadPatch> Create(NodeId node, std::uint32_t offset,
                                                 std::span<const std::uint8_t> bytes);

    ~CPayloadPatch() override = default;
    CPayloadPatch(const CPayloadPatch&) = delete;
    CPayloadPatch& operator=(const CPayloadPatch&) = delete;

    // Steps are made by Create() only, with their bytes behind them.
    static void operator delete(void* memory) { ::operator delete(memory); }

    void Apply(CMobDocument& doc) override { Exchange(doc); }
    void Revert(CMobDocument& doc) override { Exchange(doc); }
    std::size_t KeptBytes() const override { return sizeof(CPayloadPatch) + m_nLength; }

    std::uint32_t Offset() const { return m_nOffset; }
    std::uint32_t Length() const { return m_nLength; }

private:
    CPayloadPatch(NodeId node, std::uint32_t offset, std::uint32_t length)
        : CPayloadStep(node), m_nOffset(offset), m_nLength(length)
    {
    }

    void Exchange(CMobDocument& doc);
    std::uint8_t* Kept() { return reinterpret_cast<std::uint8_t*>(this + 1); }

    std::uint32_t m_nOffset;
    std::uint32_t m_nLength;
};

} // namespace qm
