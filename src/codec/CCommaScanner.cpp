#include "codec/CCommaScanner.h"

#include "codec/CNumberText.h"

#include <bit>

namespace qm {

namespace {

bool ScanOne(std::string_view text, std::size_t& pos, CPayloadLayout::Kind kind, std::uint32_t& value)
{
    if (kind != CPayloadLayout::Kind::F32)
        return CNumberText::ScanInt(text, pos, value);
    float number = 0.0f;
    if (!CNumberText::ScanFloat(text, pos, number))
        return false;
    value = std::bit_cast<std::uint32_t>(number);
    return true;
}

} // namespace

std::size_t CCommaScanner::Scan(std::string_view text, std::span<const CPayloadLayout::Field> fields,
                                std::span<std::uint32_t> values)
{
    std::size_t pos = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            if (pos == text.size() || text[pos] != ',')
                return i;
            ++pos;
        }
        if (!ScanOne(text, pos, fields[i].kind, values[i]))
            return i;
    }
    return fields.size();
}

std::uint32_t CCommaScanner::ReadValue(std::string_view text, CPayloadLayout::Kind kind)
{
    if (kind == CPayloadLayout::Kind::F32)
        return std::bit_cast<std::uint32_t>(CNumberText::ReadFloat(text));
    return CNumberText::ReadInt(text);
}

} // namespace qm
