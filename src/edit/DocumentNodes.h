#pragma once

#include "mob/CChunkTree.h"

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

// How a step names a node: its label, or for a chunk without a
// description, its id key in brackets ("[0000BEEF]").
std::string NodeName(const CMobDocument& doc, NodeId node);

} // namespace qm
