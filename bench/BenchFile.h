#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qm::bench {

// The synthetic MOB file and description file every core benchmark works
// on, made once per process in a temporary folder. QUILLMERE_BENCH_CHUNKS
// sets its size (default 1,000,000 chunks, about 60 MB); the smoke run in
// the tests uses a few thousand.
struct BenchFile {
    std::string folder;
    std::string mobPath;
    std::string descPath;
    std::size_t chunks = 0;
    std::uint64_t bytes = 0;

    static const BenchFile& Get();
};

} // namespace qm::bench
