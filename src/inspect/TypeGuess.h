#pragma once

#include <cstdint>
#include <string>

namespace qm {

// A guess at the data type of a chunk type id that has no description.
struct TypeGuess {
    std::uint32_t id = 0;
    std::uint32_t chunks = 0;     // chunks with this id, those inside guessed containers included
    std::int32_t dataType = 0;    // 0 (NULL): no guess
    int confidence = 0;           // percent
    std::string reason;           // one line, no TAB
};

} // namespace qm
