#include "codec/CAnsiText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace qm {

namespace {

// 0x80 to 0x9F; the rest of the code page is Latin-1. The unassigned
// bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D keep their own number.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void AppendChar(std::string& out, char32_t ch)
{
    if (ch < 0x80) {
        out += static_cast<char>(ch);
    } else if (ch < 0x800) {
        out += static_cast<char>(0xC0 | (ch >> 6));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (ch >> 12));
        out += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

// The character at pos and its length in bytes; length 0 for bytes that
// are not well-formed UTF-8 (overlong forms and surrogates included).
std::size_t DecodeChar(std::string_view text, std::size_t pos, char32_t& ch)
{
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        ch = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        least = 0x80;
        ch = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        least = 0x800;
        ch = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        least = 0x10000;
        ch = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - pos < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        ch = (ch << 6) | (next & 0x3Fu);
    }
    if (ch < least || ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF))
        return 0;
    return length;
}

bool ByteOf(char32_t ch, char& byte)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF)) {
        byte = static_cast<char>(ch);
        return true;
    }
    // The characters of 0x80 to 0x9F, sorted, with their bytes.
    static const std::array<std::pair<char16_t, std::uint8_t>, 32> kSorted = [] {
        std::array<std::pair<char16_t, std::uint8_t>, 32> sorted{};
        for (std::size_t i = 0; i < kHighControls.size(); ++i)
            sorted[i] = {kHighControls[i], static_cast<std::uint8_t>(0x80 + i)};
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    }();
    if (ch > 0xFFFF)
        return false;
    const auto it = std::lower_bound(kSorted.begin(), kSorted.end(), std::make_pair(static_cast<char16_t>(ch), std::uint8_t{0}));
    if (it == kSorted.end() || it->first != ch)
        return false;
    byte = static_cast<char>(it->second);
    return true;
}

} // namespace

char32_t CAnsiText::CharOf(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return kHighControls[byte - 0x80u];
    return byte;
}

std::string_view CAnsiText::Utf8Of(unsigned char byte)
{
    // Each byte's UTF-8 form, made once.
    struct Encoded {
        char bytes[3];
        std::uint8_t length;
    };
    static const std::array<Encoded, 256> kEncoded = [] {
        std::array<Encoded, 256> table{};
        for (std::size_t b = 0; b < table.size(); ++b) {
            std::string one;
            AppendChar(one, CharOf(static_cast<unsigned char>(b)));
            table[b].length = static_cast<std::uint8_t>(one.copy(table[b].bytes, sizeof table[b].bytes));
        }
        return table;
    }();
    const Encoded& e = kEncoded[byte];
    return {e.bytes, e.length};
}

void CAnsiText::AppendUtf8(std::string& out, std::string_view bytes)
{
    const auto firstHigh = std::find_if(bytes.begin(), bytes.end(),
                                        [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    const auto ascii = static_cast<std::size_t>(firstHigh - bytes.begin());
    out.append(bytes.substr(0, ascii));
    if (ascii == bytes.size())
        return;
    const std::size_t at = out.size();
    out.resize(at + 3 * (bytes.size() - ascii));
    char* to = out.data() + at;
    for (const char c : bytes.substr(ascii)) {
        const std::string_view utf8 = Utf8Of(static_cast<unsigned char>(c));
        to = std::copy(utf8.begin(), utf8.end(), to);
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

std::string CAnsiText::ToUtf8(std::string_view bytes)
{
    std::string out;
    AppendUtf8(out, bytes);
    return out;
}

bool CAnsiText::FromUtf8(std::string_view utf8, std::string& bytes, std::size_t* badAt)
{
    bytes.clear();
    if (IsAscii(utf8)) {
        bytes.assign(utf8);
        return true;
    }
    bytes.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t ch = 0;
        const std::size_t length = DecodeChar(utf8, pos, ch);
        char byte = 0;
        if (length == 0 || !ByteOf(ch, byte)) {
            if (badAt)
                *badAt = pos;
            return false;
        }
        bytes += byte;
        pos += length;
    }
    return true;
}

} // namespace qm
