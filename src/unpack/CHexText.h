#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// Bytes as hexadecimal text, two digits a byte: lower case when written,
// either case when read.
class CHexText {
public:
    static void Append(std::string& out, std::span<const std::uint8_t> bytes);
    // Writes 2 * bytes.size() digits at out.
    static void Encode(std::span<const std::uint8_t> bytes, char* out);
    // False for an odd number of digits or anything that is not a digit;
    // badAt is then the offset in text where it goes wrong.
    static bool Decode(std::string_view text, std::vector<std::uint8_t>& bytes, std::size_t* badAt = nullptr);
};

} // namespace qm
