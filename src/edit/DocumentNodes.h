#pragma once

#include "mob/CChunkTree.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qm {

class CMobChunk;
class CMobDocument;

// The record of node, or none for a node that is not in the tree or has no record.
CMobChunk* RecordOf(CMobDocument& doc, NodeId node);
const CMobChunk* RecordOf(const CMobDocument& doc, NodeId node);

// The node whose node key is key, or kNoNode.
NodeId NodeOfKey(const CMobDocument& doc, std::int32_t key);

// The top-level node (the file) that node belongs to.
NodeId FileNodeOf(const CChunkTree& tree, NodeId node);

// Where chunks the user pastes, imports or inserts at node go: into a file
// or a container (a chunk of type REC), after its last child; after any
// other chunk, among its siblings. The list and the index in it.
struct ChunkPlace {
    NodeId parent = kNoNode;
    std::size_t index = 0;
};
ChunkPlace PlaceForNewChunks(const CMobDocument& doc, NodeId node);

// How a step names a node: its label, or for a chunk without a
// description, its id key in brackets ("[0000BEEF]").
std::string NodeName(const CMobDocument& doc, NodeId node);

// Why list (a file or a chunk) cannot take delta more bytes: the first
// container from list up to, not including, stopAt, or the file when the
// climb reaches it, that would outgrow what the format holds. Empty when
// all of them can.
std::string GrowthRefusal(const CMobDocument& doc, NodeId list, std::int64_t delta, NodeId stopAt = kNoNode);

} // namespace qm
