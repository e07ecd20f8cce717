#pragma once

#include <string_view>

namespace qm {

class CMobChunk;

// Reads text (as FormatChunkData writes it) back into rec's payload,
// according to rec.m_nDataType. On failure rec is left exactly as it was.
bool ParseChunkData(CMobChunk& rec, std::string_view text);

} // namespace qm
