#include "mob/Utf8.h"

#include <cstdint>

namespace qm {

namespace {

bool InRange(std::string_view text, std::size_t pos, std::uint8_t low, std::uint8_t high)
{
    if (pos >= text.size())
        return false;
    const auto byte = static_cast<std::uint8_t>(text[pos]);
    return byte >= low && byte <= high;
}

} // namespace

std::size_t Utf8CharLength(std::string_view text, std::size_t pos)
{
    const auto lead = static_cast<std::uint8_t>(text[pos]);
    // The second byte's range depends on the lead byte, which rules out
    // overlong forms, surrogates and code points above U+10FFFF.
    std::size_t length = 1;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (length == 1 || !InRange(text, pos + 1, low, high))
        return 1;
    for (std::size_t i = 2; i < length; ++i) {
        if (!InRange(text, pos + i, 0x80, 0xBF))
            return 1;
    }
    return length;
}

} // namespace qm
