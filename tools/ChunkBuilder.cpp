#include "tools/ChunkBuilder.h"

#include "platform/LittleEndian.h"

#include <stdexcept>

namespace qm::tools {

ChunkBuilder& ChunkBuilder::Chunk(std::uint32_t id, const std::vector<std::uint8_t>& payload)
{
    RawHeader(id, static_cast<std::uint32_t>(payload.size() + 8));
    m_bytes.insert(m_bytes.end(), payload.begin(), payload.end());
    return *this;
}

ChunkBuilder& ChunkBuilder::Chunk(std::uint32_t id, std::initializer_list<std::uint8_t> payload)
{
    return Chunk(id, std::vector<std::uint8_t>(payload));
}

ChunkBuilder& ChunkBuilder::Chunk(std::uint32_t id, std::string_view payload)
{
    return Chunk(id, std::vector<std::uint8_t>(payload.begin(), payload.end()));
}

ChunkBuilder& ChunkBuilder::RawHeader(std::uint32_t id, std::uint32_t sizeField)
{
    U32(id);
    return U32(sizeField);
}

ChunkBuilder& ChunkBuilder::Raw(const std::vector<std::uint8_t>& bytes)
{
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return *this;
}

ChunkBuilder& ChunkBuilder::U32(std::uint32_t value)
{
    std::uint8_t bytes[4];
    le::WriteU32(bytes, value);
    m_bytes.insert(m_bytes.end(), bytes, bytes + 4);
    return *this;
}

ChunkBuilder& ChunkBuilder::Begin(std::uint32_t id)
{
    m_open.push_back(m_bytes.size());
    return RawHeader(id, 0);
}

ChunkBuilder& ChunkBuilder::End()
{
    if (m_open.empty())
        throw std::logic_error("ChunkBuilder::End without Begin");
    const std::size_t start = m_open.back();
    m_open.pop_back();
    le::WriteU32(m_bytes.data() + start + 4, static_cast<std::uint32_t>(m_bytes.size() - start));
    return *this;
}

std::vector<std::uint8_t> U32Bytes(std::initializer_list<std::uint32_t> values)
{
    std::vector<std::uint8_t> bytes(values.size() * 4);
    std::size_t at = 0;
    for (const std::uint32_t v : values) {
        le::WriteU32(bytes.data() + at, v);
        at += 4;
    }
    return bytes;
}

std::vector<std::uint8_t> F32Bytes(std::initializer_list<float> values)
{
    std::vector<std::uint8_t> bytes(values.size() * 4);
    std::size_t at = 0;
    for (const float v : values) {
        le::WriteF32(bytes.data() + at, v);
        at += 4;
    }
    return bytes;
}

} // namespace qm::tools
