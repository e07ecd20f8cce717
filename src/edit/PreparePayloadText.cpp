#include "edit/PreparePayloadText.h"

#include "codec/CPayloadLayout.h"
#include "codec/ParseChunkData.h"
#include "edit/CPayloadPatch.h"
#include "edit/CPayloadSwap.h"
#include "edit/DocumentNodes.h"
#include "mob/CMobDocument.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#include <span>

namespace qm {

namespace {

std::uint32_t HeldBytes(const CMobChunk& rec)
{
    return rec.m_pData ? rec.m_nSize : 0;
}

bool SamePayload(const CMobChunk& a, const CMobChunk& b)
{
    if (a.m_nSize != b.m_nSize || static_cast<bool>(a.m_pData) != static_cast<bool>(b.m_pData))
        return false;
    return !a.m_pData || std::memcmp(a.m_pData.get(), b.m_pData.get(), a.m_nSize) == 0;
}

PreparedEdit Refuse(std::string_view detail = {})
{
    std::string reason(kUpdateError);
    if (!detail.empty())
        reason.append("\n\n").append(detail);
    return PreparedEdit::Refuse(std::move(reason));
}

// The parser runs on a scratch record, never on the document's. A value of
// fixed layout is written in place, so the scratch gets a copy of the
// layout's bytes (4 KiB at most, whatever the payload's size) in a buffer
// of the caller's; any other payload is only read, so the scratch borrows it.
CMobChunk ScratchFor(const CMobChunk& rec, std::span<std::uint8_t> layoutBuffer)
{
    const std::uint32_t layout = CPayloadLayout::Size(rec.m_nDataType);
    if (layout == 0)
        return CMobChunk(rec.m_nSize, rec.m_nId, rec.m_nDataType, CPayload::Borrow(rec.m_pData.get()), rec.m_nOffset);
    const std::uint32_t n = std::min(HeldBytes(rec), layout);
    assert(n <= layoutBuffer.size());
    if (n == 0)
        return CMobChunk(0, rec.m_nId, rec.m_nDataType, CPayload(), rec.m_nOffset);
    std::memcpy(layoutBuffer.data(), rec.m_pData.get(), n);
    return CMobChunk(n, rec.m_nId, rec.m_nDataType, CPayload::Borrow(layoutBuffer.data()), rec.m_nOffset);
}

// The scratch's bytes went back in place: a step that keeps the bytes from
// the first to the last that differ.
PreparedEdit PatchStep(NodeId node, const CMobChunk& rec, const CMobChunk& scratch)
{
    const std::uint8_t* before = rec.m_pData.get();
    const std::uint8_t* after = scratch.m_pData.get();
    const std::uint32_t n = scratch.m_nSize;
    std::uint32_t first = 0;
    while (first < n && before[first] == after[first])
        ++first;
    if (first == n)
        return PreparedEdit::Unchanged();
    std::uint32_t last = n;
    while (before[last - 1] == after[last - 1])
        --last;
    return {CPayloadPatch::Create(node, first, {after + first, last - first}), {}};
}

} // namespace

PreparedEdit PreparePayloadText(const CMobDocument& doc, NodeId node, std::string_view text)
{
    const CMobChunk* rec = RecordOf(doc, node);
    if (!rec || !doc.Tree().IsAttached(node))
        return Refuse();
    alignas(2) std::array<std::uint8_t, CPayloadLayout::kLargestSize> layoutBuffer;
    CMobChunk scratch = ScratchFor(*rec, layoutBuffer);
    const std::uint8_t* const scratchBytes = scratch.m_pData.get();
    const std::uint32_t scratchSize = scratch.m_nSize;
    if (!ParseChunkData(scratch, text))
        return Refuse();

    const bool replaced = scratch.m_pData.get() != scratchBytes || scratch.m_nSize != scratchSize;
    const bool inPlace = !replaced && scratchBytes == layoutBuffer.data();
    // Neither: a payload that was only borrowed, and left alone.
    if ((!replaced && !inPlace) || (replaced && SamePayload(*rec, scratch)))
        return PreparedEdit::Unchanged();
    if (doc.Tree().ItemHasChildren(node))
        return Refuse("The chunk holds other chunks, and its bytes are saved from them.");
    if (inPlace)
        return PatchStep(node, *rec, scratch);
    const std::int64_t growth = std::int64_t{scratch.m_nSize} - rec->m_nSize;
    if (std::string refusal = GrowthRefusal(doc, node, growth); !refusal.empty())
        return Refuse(refusal);
    return {std::make_unique<CPayloadSwap>(node, std::move(scratch.m_pData), scratch.m_nSize), {}};
}

} // namespace qm
