#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

namespace qm::bench {

// The floor of loading: the least work any loader must do. Maps the file,
// walks every chunk header (descending into the chunks whose ids are in
// containers) and copies every leaf payload once into one fresh buffer:
// ordinary memory, or with hugePages memory in huge pages where the system
// offers them. Returns the number of headers walked.
std::uint64_t LoadFloor(const std::string& path, const std::unordered_set<std::uint32_t>& containers,
                        bool hugePages = false);

// The container ids of the synthetic file.
std::unordered_set<std::uint32_t> SyntheticContainerIds();

} // namespace qm::bench
