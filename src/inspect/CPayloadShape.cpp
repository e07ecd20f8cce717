#include "inspect/CPayloadShape.h"

#include "platform/LittleEndian.h"

#include <array>

namespace qm {

namespace {

constexpr std::uint32_t kHeaderSize = 8;
constexpr std::uint32_t kCountSize = 4;
constexpr std::size_t kPrefetchDistance = 256;

enum CharClass : std::uint8_t { kNotText, kLetterOrDigit, kOtherPrintable, kHigh, kTab, kLf, kCr };

constexpr std::array<std::uint8_t, 256> BuildClasses()
{
    std::array<std::uint8_t, 256> classes{};
    for (int b = 0x20; b <= 0x7E; ++b) {
        const bool alnum = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
        classes[static_cast<std::size_t>(b)] = alnum ? kLetterOrDigit : kOtherPrintable;
    }
    for (int b = 0x80; b <= 0xFF; ++b)
        classes[static_cast<std::size_t>(b)] = kHigh;
    classes['\t'] = kTab;
    classes['\n'] = kLf;
    classes['\r'] = kCr;
    return classes;
}

constexpr std::array<std::uint8_t, 256> kClasses = BuildClasses();

} // namespace

bool CPayloadShape::ChunkReader::Next(std::uint32_t& id, Bytes& payload)
{
    if (m_bytes.size() - m_pos < kHeaderSize)
        return false;
    const std::uint32_t size = le::ReadU32(m_bytes.data() + m_pos + 4);
    if (size < kHeaderSize || size > m_bytes.size() - m_pos)
        return false;
    // Each header says where the next one is, so a walk through a large
    // file would wait on memory at every chunk; the next headers lie a few
    // hundred bytes on, and asking for them now makes the walk several
    // times faster.
    if (m_bytes.size() - m_pos > kPrefetchDistance)
        __builtin_prefetch(m_bytes.data() + m_pos + kPrefetchDistance);
    id = le::ReadU32(m_bytes.data() + m_pos);
    payload = m_bytes.subspan(m_pos + kHeaderSize, size - kHeaderSize);
    m_pos += size;
    return true;
}

bool CPayloadShape::IsChunkList(Bytes bytes, std::vector<std::uint32_t>* childIds)
{
    if (childIds)
        childIds->clear();
    ChunkReader reader(bytes);
    std::uint32_t id = 0;
    Bytes payload;
    while (reader.Next(id, payload)) {
        if (childIds)
            childIds->push_back(id);
    }
    return reader.Filled();
}

std::optional<std::uint32_t> CPayloadShape::StrSarRecords(Bytes bytes, const ChunkVisitor& visit)
{
    if (bytes.size() < kCountSize)
        return std::nullopt;
    const std::int32_t count = le::ReadI32(bytes.data());
    if (count < 0)
        return std::nullopt;
    const Bytes records = bytes.subspan(kCountSize);
    std::size_t pos = 0;
    std::uint32_t done = 0;
    for (; done < static_cast<std::uint32_t>(count) && pos < records.size(); ++done) {
        if (records.size() - pos < kHeaderSize)
            return std::nullopt;
        const std::uint32_t size = le::ReadU32(records.data() + pos + 4);
        if (size < kHeaderSize || size > records.size() - pos)
            return std::nullopt;
        pos += size;
    }
    if (done != static_cast<std::uint32_t>(count) || pos != records.size())
        return std::nullopt;
    if (visit) {
        for (pos = 0; pos < records.size();) {
            const std::uint32_t size = le::ReadU32(records.data() + pos + 4);
            visit(le::ReadU32(records.data() + pos), records.subspan(pos + kHeaderSize, size - kHeaderSize));
            pos += size;
        }
    }
    return done;
}

std::optional<std::uint32_t> CPayloadShape::FloatListCount(Bytes bytes, std::uint32_t valuesPerEntry)
{
    if (bytes.size() < kCountSize || valuesPerEntry == 0)
        return std::nullopt;
    const std::int32_t count = le::ReadI32(bytes.data());
    if (count < 0)
        return std::nullopt;
    const std::uint64_t expected = kCountSize + std::uint64_t{static_cast<std::uint32_t>(count)} * valuesPerEntry * 4;
    if (expected != bytes.size())
        return std::nullopt;
    return static_cast<std::uint32_t>(count);
}

CPayloadShape::Text CPayloadShape::CheckText(Bytes bytes)
{
    Text text;
    std::size_t length = bytes.size();
    if (length > 0 && bytes[length - 1] == 0)
        --length;
    bool letterOrDigit = false;
    for (std::size_t i = 0; i < length; ++i) {
        switch (kClasses[bytes[i]]) {
        case kNotText:
            return Text{};
        case kLetterOrDigit:
            letterOrDigit = true;
            break;
        case kHigh:
            ++text.highChars;
            break;
        case kLf:
            text.hasLf = true;
            break;
        case kCr:
            text.hasCr = true;
            break;
        default:
            break;
        }
    }
    text.chars = static_cast<std::uint32_t>(length);
    // Text in any code page is mostly ASCII; bytes of other data are not.
    // A few bytes without a letter or digit are more likely a number.
    text.isText = length > 0 && (letterOrDigit || length >= 4) && std::uint64_t{text.highChars} * 4 <= length;
    return text;
}

} // namespace qm
