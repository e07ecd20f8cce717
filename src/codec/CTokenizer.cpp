#include "codec/CTokenizer.h"

#include "platform/LittleEndian.h"

#include <bit>

namespace qm {

namespace {

constexpr std::uint64_t kEveryByte = 0x0101010101010101ull;
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;

// The eight bytes at p, the first in the lowest bits.
std::uint64_t LoadWord(const char* p)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(p);
    return std::uint64_t{le::ReadU32(bytes)} | (std::uint64_t{le::ReadU32(bytes + 4)} << 32);
}

// 0x80 in each byte of word that is zero and nothing elsewhere; unlike the
// shorter borrow trick it never marks a byte above a zero one.
std::uint64_t ZeroBytes(std::uint64_t word)
{
    return ~(((word & kLow7) + kLow7) | word | kLow7);
}

} // namespace

CTokenizer::CTokenizer(std::string_view text, std::string_view delimiters) : m_text(text)
{
    for (const char c : delimiters)
        m_delimiter[static_cast<unsigned char>(c)] = true;
    if (delimiters.empty() || delimiters.size() > kWordSet)
        return;
    // Unused patterns repeat the first delimiter, so every word is tested
    // against all kWordSet patterns without a loop count to check.
    for (std::size_t i = 0; i < kWordSet; ++i)
        m_wordPattern[i] = kEveryByte * static_cast<unsigned char>(delimiters[i < delimiters.size() ? i : 0]);
    m_useWords = true;
}

// Tokens run far longer than the delimiters between them, so this is where
// the time goes; eight bytes are tested at once.
std::size_t CTokenizer::FindDelimiter(std::size_t pos) const
{
    const char* const text = m_text.data();
    const std::size_t size = m_text.size();
    const std::array<std::uint64_t, kWordSet> patterns = m_wordPattern;
    for (; m_useWords && size - pos >= 8; pos += 8) {
        const std::uint64_t word = LoadWord(text + pos);
        std::uint64_t found = 0;
        for (const std::uint64_t pattern : patterns)
            found |= ZeroBytes(word ^ pattern);
        if (found != 0)
            return pos + static_cast<std::size_t>(std::countr_zero(found)) / 8;
    }
    while (pos < size && !IsDelimiter(text[pos]))
        ++pos;
    return pos;
}

bool CTokenizer::Next(std::string_view& token)
{
    while (m_pos < m_text.size() && IsDelimiter(m_text[m_pos]))
        ++m_pos;
    if (m_pos == m_text.size())
        return false;
    const std::size_t start = m_pos;
    m_pos = FindDelimiter(start);
    token = m_text.substr(start, m_pos - start);
    return true;
}

} // namespace qm
