#pragma once

#include "mob/CChunkTree.h"

#include <cstdint>
#include <functional>
#include <string>

namespace qm {

class CMobDocument;

// One difference between two files, chunk by chunk.
struct ChunkDifference {
    enum class Kind { Removed, Added, Changed };

    Kind kind = Kind::Changed;
    // IDKEY:N segments joined by "/" (unpacked::PathSegment). Bytes after
    // the last chunk of a list that belong to no chunk are the list's path
    // and "trailing".
    std::string path;
    std::string name;  // UTF-8; empty for a chunk without a name
    // Changed: the two texts when both fit on one line, else the number of
    // bytes that differ (those past the shorter side's end count too).
    bool hasTexts = false;
    std::string oldText;
    std::string newText;
    std::uint64_t bytesDiffer = 0;
};

// Compares two loaded files chunk by chunk. Siblings are matched by id and
// by their place among the siblings with that id; a chunk or subtree on
// one side only is one difference, for its top chunk; containers present on
// both sides are compared by their children, leaves by their bytes. The
// differences come in tree order.
class CMobDiff {
public:
    using Emit = std::function<void(const ChunkDifference&)>;

    // The longest text shown in a Changed difference, in characters.
    static constexpr std::size_t kLongestText = 80;

    // The number of differences.
    static std::uint64_t Compare(const CMobDocument& docA, NodeId fileA, const CMobDocument& docB, NodeId fileB,
                                 const Emit& emit);
};

} // namespace qm
