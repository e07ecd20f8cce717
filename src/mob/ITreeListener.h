#pragma once

#include <cstddef>
#include <cstdint>

namespace qm {

using NodeId = std::uint32_t;

// A run of sibling nodes taken out of one list and put into another, as an
// edit of the structure does. A list that is not in the tree (the run was
// deleted, or is new) is not shown: its parent and row mean nothing then.
struct RowMove {
    NodeId first;
    NodeId last;
    std::size_t count;  // nodes in the run, first to last
    NodeId fromParent;
    std::size_t fromRow;  // the row of first before the move
    bool fromShown;
    NodeId toParent;
    std::size_t toRow;  // the row of first after the move
    bool toShown;
};

// Told of every run that moves, before and after, so that a view of the
// tree can follow with row inserts, removes and moves rather than a reset.
// Loading and unloading do not come through here.
class ITreeListener {
public:
    virtual ~ITreeListener() = default;
    virtual void BeforeRowsMove(const RowMove& move) = 0;
    virtual void AfterRowsMove(const RowMove& move) = 0;
};

} // namespace qm
