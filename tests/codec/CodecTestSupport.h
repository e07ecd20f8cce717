#pragma once

#include "codec/CPayloadLayout.h"
#include "codec/CryptScriptData.h"
#include "mob/CMobChunk.h"
#include "tools/ChunkBuilder.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace qm::test {

using tools::ChunkBuilder;
using tools::F32Bytes;
using tools::U32Bytes;

inline std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

inline std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts)
{
    std::vector<std::uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline std::vector<std::uint8_t> PayloadOf(const CMobChunk& rec)
{
    const std::uint8_t* data = rec.m_pData.get();
    return data ? std::vector<std::uint8_t>(data, data + rec.m_nSize) : std::vector<std::uint8_t>();
}

inline CMobChunk Record(std::int32_t dataType, const std::vector<std::uint8_t>& payload, std::uint32_t id = 0xA000)
{
    const auto size = static_cast<std::uint32_t>(payload.size());
    return CMobChunk(size, id, dataType, CPayload::Copy(payload.data(), size), 0);
}

// A SCRIPT_ENC payload holding script.
inline std::vector<std::uint8_t> Enciphered(std::uint32_t key, std::string_view script)
{
    std::vector<std::uint8_t> payload = Cat({U32Bytes({key}), Bytes(script)});
    CryptScriptData(key, payload.data() + CPayloadLayout::kScriptKeySize, static_cast<std::uint32_t>(script.size()));
    return payload;
}

inline std::vector<std::uint8_t> SarRecord(std::uint32_t id, std::string_view text)
{
    return Cat({U32Bytes({id, static_cast<std::uint32_t>(text.size() + CPayloadLayout::kStringRecordHeaderSize)}), Bytes(text)});
}

// A STR_SAR payload of the given texts, and the text it renders as.
inline std::vector<std::uint8_t> SarPayload(std::uint32_t id, std::initializer_list<std::string_view> texts)
{
    std::vector<std::uint8_t> payload = U32Bytes({static_cast<std::uint32_t>(texts.size())});
    for (const std::string_view text : texts)
        payload = Cat({payload, SarRecord(id, text)});
    return payload;
}

inline std::string SarText(std::initializer_list<std::string_view> texts)
{
    std::string text;
    for (const std::string_view t : texts)
        text += std::string(t) + std::string(CPayloadLayout::kStringRecordSeparator);
    return text;
}

} // namespace qm::test
