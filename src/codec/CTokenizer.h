#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qm {

// Cuts text into tokens at every character of a delimiter set. A run of
// delimiters is one cut and delimiters at either end give nothing, so no
// token is ever empty.
//
//   CTokenizer lines(text, "\r\n");
//   for (std::string_view line; lines.Next(line);) ...
class CTokenizer {
public:
    CTokenizer(std::string_view text, std::string_view delimiters);

    // The next token, left to right; false when there is none left.
    bool Next(std::string_view& token);

private:
    static constexpr std::size_t kWordSet = 4;

    bool IsDelimiter(char c) const { return m_delimiter[static_cast<unsigned char>(c)]; }
    std::size_t FindDelimiter(std::size_t pos) const;

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::array<bool, 256> m_delimiter{};
    // Each delimiter repeated in all eight bytes of a word, for sets of up
    // to kWordSet; larger sets are looked up a byte at a time.
    std::array<std::uint64_t, kWordSet> m_wordPattern{};
    bool m_useWords = false;
};

} // namespace qm
