#pragma once

#include "inspect/TypeGuess.h"

#include <cstdint>
#include <vector>

namespace qm {

class CMobDocument;

// Guesses a data type for every chunk type id of the loaded files that has
// no description, from all of its chunks together.
//
// Chunks of an id guessed as REC are walked as if it were described so, and
// the ids found inside count too. The document is only read.
class CTypeGuesser {
public:
    // One guess per undescribed id, in id order.
    static std::vector<TypeGuess> GuessAll(const CMobDocument& doc);

    // The guess for id in a list GuessAll made, or none.
    static const TypeGuess* Find(const std::vector<TypeGuess>& guesses, std::uint32_t id);
};

} // namespace qm
