#pragma once

#include <cstddef>
#include <string_view>

namespace qm {

// File names on this system are bytes, usually UTF-8 but not always. A
// well-formed UTF-8 sequence counts as one character; any other byte counts
// as one character on its own, so text is never cut inside a sequence and
// a name in another encoding still has a length.

// The bytes of the character that starts at pos (pos < text.size()): 1 to 4.
std::size_t Utf8CharLength(std::string_view text, std::size_t pos);

} // namespace qm
