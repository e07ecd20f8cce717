#pragma once

#include "mob/CChunkTree.h"

class QModelIndex;
class QTreeView;

namespace qm {

class CChunkTreeModel;

// Selects node in the view as a click would (the view reports the change of
// selection), after opening the branches above it and scrolling to it.
// Branches deeper than the view can lay out stay closed: the node is still
// selected, under its deepest opened ancestor.
void RevealNode(QTreeView& view, const CChunkTreeModel& model, NodeId node);

// What '*' does in the tree: opens every node below index, no deeper than
// the view can lay out.
void ExpandAllBelow(QTreeView& view, const CChunkTreeModel& model, const QModelIndex& index);

} // namespace qm
