#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace qm {

// How every data type lays out its payload: where the values of the
// fixed-layout types lie, in the order their text shows them, and the sizes
// of the keyed, counted and listed forms. The renderer, the parser and the
// fuzz seeds all read them from here, so none can disagree about an offset.
class CPayloadLayout {
public:
    // SCRIPT_ENC: the u32 key in front of the enciphered script.
    static constexpr std::uint32_t kScriptKeySize = 4;
    // STR_SAR, STR_S01 and STR_S02: the i32 count in front of the entries.
    static constexpr std::uint32_t kCountSize = 4;
    // A STR_SAR record has the shape of a chunk: u32 id and u32 size, then text.
    static constexpr std::uint32_t kStringRecordHeaderSize = 8;
    // What the text puts behind every STR_SAR record: a line of 20 "~".
    static constexpr std::string_view kStringRecordSeparator = "\r\n~~~~~~~~~~~~~~~~~~~~\r\n";
    // DIPLOMACY: 1024 i32 shown as 32 lines of 32.
    static constexpr std::uint32_t kDiplomacyValues = 1024;
    static constexpr std::uint32_t kDiplomacyLineValues = 32;
    static constexpr std::uint32_t kDiplomacySize = 4 * kDiplomacyValues;
    // STR_S06: the bytes that hold its 48 shown fields.
    static constexpr std::uint32_t kStrS06Size = 170;
    // No type's layout is larger than this.
    static constexpr std::uint32_t kLargestSize = kDiplomacySize;

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
    // The bytes of one STR_S01 (three f32) or STR_S02 (two f32) entry; 0 for
    // every other type.
    static std::uint32_t ListEntrySize(std::int32_t dataType);

    static std::uint32_t Width(Kind kind);
    static bool FitsIn(const Field& field, std::uint32_t payloadSize)
    {
        return field.offset <= payloadSize && Width(field.kind) <= payloadSize - field.offset;
    }
};

} // namespace qm
