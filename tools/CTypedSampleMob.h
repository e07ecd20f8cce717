#pragma once

#include <cstdint>
#include <map>
#include <vector>

namespace qm::tools {

struct TypedSampleOptions {
    std::uint64_t seed = 1;
    std::uint32_t idsPerType = 12;
    std::uint32_t maxChunksPerId = 6;  // each id has 1 to this many chunks
};

// A MOB file whose true data types are known: ids of every data type with
// values as game data holds them (names, multi-line scripts, enciphered
// scripts, counted lists, coordinates, flags, standings), containers
// nested a few levels deep. For measuring how well types are guessed
// without a description.
struct TypedSample {
    std::vector<std::uint8_t> bytes;
    std::map<std::uint32_t, std::int32_t> truth;  // id to data type code
};

class CTypedSampleMob {
public:
    static TypedSample Generate(const TypedSampleOptions& options);
};

} // namespace qm::tools
