#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// A Windows single-byte code page as a one-to-one map between the 256 byte
// values and 256 characters, so that labels, descriptions and payload text
// can be shown, edited and written back without losing a byte.
//
// The code page's own characters come from ICU. A byte the code page leaves
// unassigned still needs a character of its own: ICU gives most of them the
// C1 control with the same number (0x81 is U+0081), and those it has nothing
// for get U+F700 plus the byte, a Private Use character that no Windows code
// page uses, so it can never be mistaken for a real letter.
class CCodePage {
public:
    static constexpr int kDefault = 1252;

    // The numbers offered to the user, 1250 to 1258.
    static const std::vector<int>& Offered();
    // The code page with that number; the default one for any other number.
    static const CCodePage& Get(int number);

    int Number() const { return m_nNumber; }
    // For the menu: "Windows-1252 (Western European)".
    QString Name() const;

    char16_t ToChar(std::uint8_t byte) const { return m_toChar[byte]; }
    // False when no byte of this code page stands for ch.
    bool ToByte(char16_t ch, std::uint8_t& byte) const;

    QString Decode(std::string_view bytes) const;
    // A character the code page lacks becomes '?', as it would in any
    // 8-bit text; lossless, when given, tells whether that happened.
    std::string Encode(QStringView text, bool* lossless = nullptr) const;

    // A letter whose capital is also in this code page becomes that capital;
    // every other byte stays. Case is simple, one character for one, and the
    // same whatever the user's language (ß stays ß, i becomes I).
    std::uint8_t ToUpper(std::uint8_t byte) const { return m_upper[byte]; }
    // The same rule for typed text; characters outside the code page, which
    // no label can hold, get the simple Unicode capital.
    QString ToUpper(QStringView text) const;

private:
    explicit CCodePage(int number);

    int m_nNumber;
    std::array<char16_t, 256> m_toChar{};
    std::array<std::uint8_t, 256> m_upper{};
    // Sorted by character for a binary search; ASCII never gets this far.
    std::vector<std::pair<char16_t, std::uint8_t>> m_toByte;
};

} // namespace qm
