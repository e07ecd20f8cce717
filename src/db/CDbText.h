#pragma once

#include <string>
#include <string_view>

namespace qm::db {

// Text columns hold UTF-8. Names and descriptions are 8-bit text and travel
// as CAnsiText says; payload text already is UTF-8. A NUL character cannot
// be stored in a PostgreSQL text value, so in both databases it is written
// as U+2400 (SYMBOL FOR NULL), which 8-bit text can never hold: the mapping
// goes both ways without loss, and both databases hold the same rows.
class CDbText {
public:
    // The column text of 8-bit text.
    static std::string FromEightBit(std::string_view bytes);
    // The 8-bit text of a column, or false when it holds a character
    // with no byte.
    static bool ToEightBit(std::string_view column, std::string& bytes);

    // The column text of UTF-8 text, and back; scratch holds the result
    // when it differs from what was given.
    static std::string_view FromUtf8(std::string_view utf8, std::string& scratch);
    static std::string_view ToUtf8(std::string_view column, std::string& scratch);

    // A file name as given: as it is when it is UTF-8, else read as 8-bit text.
    static std::string FromFileName(std::string_view name);
};

} // namespace qm::db
