#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// How a payload travels outside the program (an unpacked document, a
// database row) so that people can read and edit it and it still comes
// back byte for byte:
//
// - a payload whose type has a text form travels as that text, as the data
//   pane shows it, in UTF-8 (CAnsiText) with LF line breaks;
// - when parsing that text onto an empty payload would not give the payload
//   back (a float that "%g" rounds, bytes the text does not show, a key),
//   its bytes travel too; a type without a text form travels as bytes only;
// - coming back, a payload whose text still equals what its bytes show is
//   its bytes; otherwise the text is parsed onto those bytes (or onto an
//   empty payload when there are none), as the data pane's Apply does.
//
// Text parsed onto an empty payload gives the same bytes as the same text
// applied onto any payload that travelled as text only, so an edit made
// outside packs to what the same edit in the editor saves.
class CPayloadTextForm {
public:
    struct Unpacked {
        bool hasText = false;    // the type has a text form, and text holds it
        std::string text;        // UTF-8, LF line breaks
        bool needsBytes = true;  // the bytes must travel with the text
    };

    // Buffers that one thread reuses from payload to payload.
    struct Scratch {
        std::string rendered;
        std::string eightBit;
    };

    static bool HasText(std::int32_t dataType);

    static void Unpack(std::int32_t dataType, std::uint32_t id, std::span<const std::uint8_t> payload,
                       Unpacked& out, Scratch& scratch);

    // What a payload shows as travelling text (Unpacked::text).
    static void TravelText(std::int32_t dataType, std::span<const std::uint8_t> payload, std::string& out);

    enum class Result {
        Ok,
        NothingGiven,  // neither text nor bytes
        BadCharacter,  // the text is not UTF-8, or holds a character with no byte (badAt)
        Refused,       // the data type's parser refuses the text
    };

    // Appends the payload that travelled to out; out is left alone unless
    // the result is Ok.
    static Result Pack(std::int32_t dataType, std::uint32_t id, std::optional<std::string_view> text,
                       std::optional<std::span<const std::uint8_t>> bytes, std::vector<std::uint8_t>& out,
                       Scratch& scratch, std::size_t* badAt = nullptr);
};

} // namespace qm
