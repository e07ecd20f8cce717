#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qm {

// Payload text, labels and descriptions are 8-bit text in the Windows
// code page 1252, the window's default. Outside the program (an unpacked
// document, a database) they travel as UTF-8: each byte stands for one
// character and back, so nothing is lost either way. The five bytes the
// code page leaves unassigned stand for the C1 controls of the same number,
// as the window shows them.
class CAnsiText {
public:
    // The UTF-8 form of 8-bit text; text that is ASCII comes back as it is.
    static std::string ToUtf8(std::string_view bytes);
    static void AppendUtf8(std::string& out, std::string_view bytes);

    // The 8-bit form of UTF-8 text. False when the text is not UTF-8 or holds
    // a character the code page has no byte for; badAt is then the offset of
    // that character in utf8.
    static bool FromUtf8(std::string_view utf8, std::string& bytes, std::size_t* badAt = nullptr);

    // The character a byte stands for, and its UTF-8 form.
    static char32_t CharOf(unsigned char byte);
    static std::string_view Utf8Of(unsigned char byte);
};

} // namespace qm
