#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qm {

// Numbers as the data pane writes and reads them: "%d" and "%g" out, the
// atoi/atof rules in. Every conversion here is the C locale's, whatever
// locale the process runs under, so a German desktop still sees 1.5 and not
// 1,5, and text written under one locale reads back under any other.
class CNumberText {
public:
    // "%d".
    static void AppendInt(std::string& out, std::int32_t value);
    // "%g" of the value widened to double: six significant digits, exponent
    // form below 1e-4 and from 1e6 on, at least two exponent digits.
    static void AppendFloat(std::string& out, float value);

    // The integer at the start of text by atoi's rules, accumulated modulo
    // 2^32; no digits give 0.
    static std::uint32_t ReadInt(std::string_view text);
    // The number at the start of text by atof's rules, as the nearest f32;
    // no number gives 0.
    static float ReadFloat(std::string_view text);

    // One "%d" or "%g" conversion of a scanned line, starting at pos: white
    // space is skipped, then a number must follow. On success pos moves past
    // the number and value is set; otherwise both are left alone.
    static bool ScanInt(std::string_view text, std::size_t& pos, std::uint32_t& value);
    static bool ScanFloat(std::string_view text, std::size_t& pos, float& value);

    static bool IsSpace(char c);
};

} // namespace qm
