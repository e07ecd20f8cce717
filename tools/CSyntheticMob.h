#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qm::tools {

struct SyntheticOptions {
    std::uint64_t seed = 1;
    std::size_t chunkCount = 1000;   // chunks in the file, containers included
    int maxDepth = 6;                // deepest container nesting
    std::uint32_t maxPayload = 200;  // leaf payloads are 0..maxPayload bytes
};

// Well-formed MOB files of any size, the same bytes for the same options:
// containers filled exactly by their children, leaves of several data types
// and ids without a description, random payload bytes. For round-trip
// tests, benchmarks and fuzzing seeds.
class CSyntheticMob {
public:
    // The description file that names and types the ids Generate() uses.
    static std::string DescriptionText();
    // The ids that description makes containers.
    static std::vector<std::uint32_t> ContainerIds();
    static std::vector<std::uint8_t> Generate(const SyntheticOptions& options);
};

} // namespace qm::tools
