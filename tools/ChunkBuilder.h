#pragma once

// Builds MOB bytes in code, so every test fixture says what it holds.
//
//   ChunkBuilder b;
//   b.Chunk(0xA000, {1, 2, 3});
//   b.Begin(0xB000).Chunk(0xA001, "text").End();
//   std::vector<std::uint8_t> bytes = b.Bytes();

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace qm::tools {

class ChunkBuilder {
public:
    ChunkBuilder& Chunk(std::uint32_t id, const std::vector<std::uint8_t>& payload);
    ChunkBuilder& Chunk(std::uint32_t id, std::initializer_list<std::uint8_t> payload);
    ChunkBuilder& Chunk(std::uint32_t id, std::string_view payload);
    // A chunk whose size field says sizeField, whatever follows it.
    ChunkBuilder& RawHeader(std::uint32_t id, std::uint32_t sizeField);
    ChunkBuilder& Raw(const std::vector<std::uint8_t>& bytes);
    ChunkBuilder& U32(std::uint32_t value);

    // A container: chunks added until the matching End() become its payload,
    // and its size field is filled in at End().
    ChunkBuilder& Begin(std::uint32_t id);
    ChunkBuilder& End();

    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
    std::vector<std::size_t> m_open;
};

// Little-endian payload helpers for fixtures.
std::vector<std::uint8_t> U32Bytes(std::initializer_list<std::uint32_t> values);
std::vector<std::uint8_t> F32Bytes(std::initializer_list<float> values);

} // namespace qm::tools
