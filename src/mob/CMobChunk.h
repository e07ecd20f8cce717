#pragma once

#include "mob/CPayload.h"

#include <cstdint>
#include <string_view>
#include <utility>

namespace qm {

// The record kept for every node of the chunk tree. A file node's record has
// every field zero and no payload.
class CMobChunk {
public:
    CMobChunk() = default;
    // A file node: the path is accepted for the caller's convenience and kept nowhere.
    explicit CMobChunk(std::string_view /*filePath*/) {}
    CMobChunk(std::uint32_t size, std::uint32_t id, std::int32_t dataType, CPayload data,
              std::uint32_t offset)
        : m_nSize(size), m_nId(id), m_nDataType(dataType), m_nOffset(offset), m_pData(std::move(data))
    {
    }

    // Replaces the payload with a buffer of the record's own.
    void ReplacePayload(CPayload data, std::uint32_t size)
    {
        m_pData = std::move(data);
        m_nSize = size;
    }

    // Trades the payload and its size for another pair, so that an edit can
    // keep the payload it replaced without copying it.
    void ExchangePayload(CPayload& data, std::uint32_t& size)
    {
        std::swap(m_pData, data);
        std::swap(m_nSize, size);
    }

    std::uint32_t m_nSize = 0;     // payload length in bytes
    std::uint32_t m_nId = 0;       // chunk type id
    std::int32_t m_nDataType = 0;  // data type code, fixed when the chunk is loaded
    std::uint32_t m_nOffset = 0;   // header offset in the file, as the loader counted it
    CPayload m_pData;              // m_nSize bytes, or none
};

} // namespace qm
