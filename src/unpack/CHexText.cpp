#include "unpack/CHexText.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qm {

namespace {

// A digit's value; anything else has the high bit set, so that a whole run
// can be checked at its end.
constexpr std::array<std::uint8_t, 256> MakeDigitValues()
{
    std::array<std::uint8_t, 256> values{};
    values.fill(0x80);
    for (int i = 0; i < 10; ++i)
        values[static_cast<std::size_t>('0' + i)] = static_cast<std::uint8_t>(i);
    for (int i = 0; i < 6; ++i) {
        values[static_cast<std::size_t>('a' + i)] = static_cast<std::uint8_t>(10 + i);
        values[static_cast<std::size_t>('A' + i)] = static_cast<std::uint8_t>(10 + i);
    }
    return values;
}

constexpr std::array<std::uint8_t, 256> kDigitValues = MakeDigitValues();

// Both digits of every byte, side by side.
constexpr std::array<char, 512> MakePairs()
{
    constexpr char kDigits[] = "0123456789abcdef";
    std::array<char, 512> pairs{};
    for (std::size_t b = 0; b < 256; ++b) {
        pairs[2 * b] = kDigits[b >> 4];
        pairs[2 * b + 1] = kDigits[b & 0xF];
    }
    return pairs;
}

constexpr std::array<char, 512> kPairs = MakePairs();

std::uint8_t ValueOf(char digit)
{
    return kDigitValues[static_cast<unsigned char>(digit)];
}

#if defined(__SSE2__)
// Payloads run to megabytes: sixteen digits at a time where the processor
// allows, the tables for the rest.

// 8 bytes to 16 digits.
std::size_t EncodeBlocks(const std::uint8_t* in, std::size_t count, char* out)
{
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i nine = _mm_set1_epi8(9);
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i letterGap = _mm_set1_epi8('a' - '0' - 10);
    std::size_t done = 0;
    for (; done + 8 <= count; done += 8) {
        const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + done));
        const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), nibble);
        const __m128i low = _mm_and_si128(bytes, nibble);
        const __m128i values = _mm_unpacklo_epi8(high, low);
        const __m128i letters = _mm_and_si128(_mm_cmpgt_epi8(values, nine), letterGap);
        const __m128i digits = _mm_add_epi8(_mm_add_epi8(values, zero), letters);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * done), digits);
    }
    return done;
}

// 16 digits to 8 bytes, as long as every digit is one; the bytes decoded.
std::size_t DecodeBlocks(const char* in, std::size_t count, std::uint8_t* out)
{
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const __m128i belowZero = _mm_set1_epi8('0' - 1);
    const __m128i aboveNine = _mm_set1_epi8('9' + 1);
    const __m128i belowA = _mm_set1_epi8('a' - 1);
    const __m128i aboveF = _mm_set1_epi8('f' + 1);
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i letterBase = _mm_set1_epi8('a' - 10);
    const __m128i lowByte = _mm_set1_epi16(0x00F0);
    std::size_t done = 0;
    for (; done + 8 <= count; done += 8) {
        const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * done));
        const __m128i lower = _mm_or_si128(chars, caseBit);
        const __m128i isDigit = _mm_and_si128(_mm_cmpgt_epi8(chars, belowZero), _mm_cmplt_epi8(chars, aboveNine));
        const __m128i isLetter = _mm_and_si128(_mm_cmpgt_epi8(lower, belowA), _mm_cmplt_epi8(lower, aboveF));
        if (_mm_movemask_epi8(_mm_or_si128(isDigit, isLetter)) != 0xFFFF)
            break;
        const __m128i values = _mm_or_si128(_mm_and_si128(isDigit, _mm_sub_epi8(chars, zero)),
                                            _mm_and_si128(isLetter, _mm_sub_epi8(lower, letterBase)));
        // Each 16-bit lane holds a high digit and, above it, a low one.
        const __m128i pairs = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(values, 4), lowByte), _mm_srli_epi16(values, 8));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + done), _mm_packus_epi16(pairs, pairs));
    }
    return done;
}
#else
std::size_t EncodeBlocks(const std::uint8_t*, std::size_t, char*)
{
    return 0;
}
std::size_t DecodeBlocks(const char*, std::size_t, std::uint8_t*)
{
    return 0;
}
#endif

} // namespace

void CHexText::Encode(std::span<const std::uint8_t> bytes, char* out)
{
    const std::size_t done = EncodeBlocks(bytes.data(), bytes.size(), out);
    out += 2 * done;
    for (const std::uint8_t byte : bytes.subspan(done)) {
        std::memcpy(out, &kPairs[2u * byte], 2);
        out += 2;
    }
}

void CHexText::Append(std::string& out, std::span<const std::uint8_t> bytes)
{
    const std::size_t at = out.size();
    out.resize(at + 2 * bytes.size());
    Encode(bytes, out.data() + at);
}

bool CHexText::Decode(std::string_view text, std::vector<std::uint8_t>& bytes, std::size_t* badAt)
{
    const std::size_t count = text.size() / 2;
    bytes.resize(count);
    std::uint8_t bad = 0;
    for (std::size_t i = DecodeBlocks(text.data(), count, bytes.data()); i < count; ++i) {
        const std::uint8_t high = ValueOf(text[2 * i]);
        const std::uint8_t low = ValueOf(text[2 * i + 1]);
        bad |= high | low;
        bytes[i] = static_cast<std::uint8_t>(high << 4 | (low & 0x0F));
    }
    if ((bad & 0x80) == 0 && text.size() % 2 == 0)
        return true;
    if (badAt) {
        std::size_t at = 0;
        while (at < text.size() && (ValueOf(text[at]) & 0x80) == 0)
            ++at;
        *badAt = std::min(at, text.size() - 1);
    }
    return false;
}

} // namespace qm
