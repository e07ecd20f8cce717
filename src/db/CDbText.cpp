#include "db/CDbText.h"

#include "codec/CAnsiText.h"

namespace qm::db {

namespace {

constexpr std::string_view kNulStandIn = "\xE2\x90\x80";  // U+2400

void ReplaceAll(std::string& text, std::string_view from, std::string_view to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

bool IsUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        if ((length == 2 && lead < 0xC2) || (length == 4 && lead > 0xF4))
            return false;
        i += length;
    }
    return true;
}

} // namespace

std::string CDbText::FromEightBit(std::string_view bytes)
{
    std::string scratch;
    std::string utf8 = CAnsiText::ToUtf8(bytes);
    return std::string(FromUtf8(utf8, scratch));
}

bool CDbText::ToEightBit(std::string_view column, std::string& bytes)
{
    std::string scratch;
    return CAnsiText::FromUtf8(ToUtf8(column, scratch), bytes);
}

std::string_view CDbText::FromUtf8(std::string_view utf8, std::string& scratch)
{
    if (utf8.find('\0') == std::string_view::npos)
        return utf8;
    scratch.assign(utf8);
    ReplaceAll(scratch, std::string_view("\0", 1), kNulStandIn);
    return scratch;
}

std::string_view CDbText::ToUtf8(std::string_view column, std::string& scratch)
{
    if (column.find(kNulStandIn) == std::string_view::npos)
        return column;
    scratch.assign(column);
    ReplaceAll(scratch, kNulStandIn, std::string_view("\0", 1));
    return scratch;
}

std::string CDbText::FromFileName(std::string_view name)
{
    if (IsUtf8(name) && name.find('\0') == std::string_view::npos)
        return std::string(name);
    return FromEightBit(name);
}

} // namespace qm::db
