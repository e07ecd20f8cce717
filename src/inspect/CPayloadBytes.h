#pragma once

#include "mob/CChunkTree.h"

#include <cstdint>
#include <span>
#include <vector>

namespace qm {

class CMobDocument;

// The bytes a chunk's payload will be saved as: the record's own payload,
// or, for a container with children, its children and trailing bytes as
// saving writes them.
class CPayloadBytes {
public:
    // Empty for a file node or a node without a record.
    static CPayloadBytes Of(CMobDocument& doc, NodeId node);

    // Valid while this object lives (and, for a leaf, while its record keeps its payload).
    std::span<const std::uint8_t> Bytes() const& { return m_built.empty() ? m_view : std::span(m_built); }
    std::span<const std::uint8_t> Bytes() const&& = delete;

private:
    std::span<const std::uint8_t> m_view;
    std::vector<std::uint8_t> m_built;
};

} // namespace qm
