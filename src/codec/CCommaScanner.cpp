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
                                std::span<std::uint32_t> values, std::size_t* end)
{
    std::size_t pos = 0;
    std::size_t converted = 0;
    for (; converted < fields.size(); ++converted) {
        std::size_t at = pos;
        if (converted > 0) {
            if (at == text.size() || text[at] != ',')
                break;
            ++at;
        }
        if (!ScanOne(text, at, fields[converted].kind, values[converted]))
            break;
        pos = at;
    }
    if (end)
        *end = pos;
    return converted;
}

std::uint32_t CCommaScanner::ReadValue(std::string_view text, CPayloadLayout::Kind kind, std::size_t* end)
{
    std::size_t pos = 0;
    std::uint32_t value = 0;
    ScanOne(text, pos, kind, value);
    if (end)
        *end = pos;
    return value;
}

} // namespace qm
