#pragma once

#include "codec/CPayloadLayout.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qm {

// Reads a line of comma-separated values the way sscanf reads it with one
// "%d" (integer fields) or "%g" (f32 fields) per field, joined by ",": white
// space before a number is skipped, a comma must stand exactly where the
// previous number ended, and whatever follows the last value is ignored.
class CCommaScanner {
public:
    // values[i] receives field i's 32 bits (an f32 as its bit pattern) and
    // must have room for every field. Returns how many values were converted;
    // scanning stops at the first one that fails. end, when given, receives
    // the position behind the last value converted.
    static std::size_t Scan(std::string_view text, std::span<const CPayloadLayout::Field> fields,
                            std::span<std::uint32_t> values, std::size_t* end = nullptr);

    // One field's value as its 32 bits, read from the start of text by
    // atoi's or atof's rules. end, when given, receives the position behind
    // the number, or 0 when there is none.
    static std::uint32_t ReadValue(std::string_view text, CPayloadLayout::Kind kind, std::size_t* end = nullptr);
};

} // namespace qm
