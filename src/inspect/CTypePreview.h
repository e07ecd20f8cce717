#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qm {

// What a payload would show as each data type its layout allows.
struct TypePreview {
    std::int32_t dataType = 0;
    std::string text;     // the first lines of the text, CR LF between them
    bool more = false;    // the whole text has more than text shows
};

class CTypePreview {
public:
    static constexpr std::size_t kDefaultLines = 4;
    // A line longer than this is cut; a preview is a glance, not the text.
    static constexpr std::size_t kLineLimit = 200;

    // True when the payload's size (and, for the counted and nested types,
    // its counts and sizes) fits the layout of dataType:
    // - fixed layouts exactly: BYTE 1, WORD 2, DWORD 4 or 1, FLOAT 4,
    //   STR_S08 8, PLOT and BINARY 12, RECT and QUATERNION 16, DIPLOMACY
    //   4096, and STR_S06 its 170 shown bytes or more;
    // - REC when the payload is a chunk list that fills it exactly;
    // - STR_SAR, STR_S01 and STR_S02 when the count's entries fill it exactly;
    // - SCRIPT_ENC from its 4-byte key on;
    // - NULL, STRING, SCRIPT, STR_S09, STR_S10 and STR_S11 always.
    static bool LayoutFits(std::int32_t dataType, std::span<const std::uint8_t> payload);

    // For every data type that fits, in code order, the first lines of the
    // text it would show, rendered as the data pane renders it (enciphered
    // scripts deciphered).
    static std::vector<TypePreview> ForPayload(std::span<const std::uint8_t> payload,
                                               std::size_t maxLines = kDefaultLines);
};

} // namespace qm
