#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace qm {

// Where the values of the fixed-layout data types lie in a payload, in the
// order their text shows them. The renderer and the parser both read these
// tables, so the two can never disagree about an offset.
class CPayloadLayout {
public:
    enum class Kind : std::uint8_t { U8, U16, I32, F32 };

    struct Field {
        std::uint32_t offset;
        Kind kind;
    };

    // The fields of BYTE, WORD, DWORD, FLOAT, RECT, PLOT, QUATERNION, BINARY,
    // STR_S06 and STR_S08 in text order; empty for every other type.
    static std::span<const Field> Fields(std::int32_t dataType);
    // What the text puts between two fields.
    static std::string_view Separator(std::int32_t dataType);
    // The bytes an in-place type's layout covers (DWORD in its 4-byte form);
    // 0 for the types that are not written in place.
    static std::uint32_t Size(std::int32_t dataType);

    static std::uint32_t Width(Kind kind);
    static bool FitsIn(const Field& field, std::uint32_t payloadSize)
    {
        return field.offset <= payloadSize && Width(field.kind) <= payloadSize - field.offset;
    }
};

} // namespace qm
