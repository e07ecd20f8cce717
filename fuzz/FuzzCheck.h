#pragma once

// What a fuzz target does when a promise of the core is broken: name the
// promise and abort, so libFuzzer keeps the input and the corpus replay
// fails.

#include <cstdio>
#include <cstdlib>

namespace qm::fuzz {

inline void Check(bool holds, const char* promise)
{
    if (holds)
        return;
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}

} // namespace qm::fuzz
