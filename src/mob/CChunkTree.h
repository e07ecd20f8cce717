#pragma once

#include "mob/CBlockVector.h"
#include "mob/CLabelPool.h"
#include "mob/ITreeListener.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qm {

// Handle of a tree node; kNoNode stands for "none" (no parent, end of a list).
using NodeId = std::uint32_t;
inline constexpr NodeId kNoNode = 0;

// Images of the node image list, by index.
enum NodeImage : int {
    IMG_BLANK = 0,
    IMG_FILE = 1,
    IMG_CONTAINER = 2,
    IMG_CHUNK = 3,
    IMG_KEY_CHUNK = 4,
    IMG_CYAN_CHUNK = 5,
    IMG_LOCKED_CHUNK = 6,
};

// The chunk tree: every loaded file as a top-level node with its chunks
// below it. A node holds a label, an image and a param (its node key); the
// records live in the chunk index. Selection, expansion and drawing belong to
// the view.
//
// Handles are dense and never reused before the tree is emptied: node n is
// the n-th node made since then. A node taken out of the tree by an edit is
// kept, detached, so that undoing the edit can put the very same node back.
class CChunkTree {
public:
    using LabelId = CLabelPool::LabelId;

    // Inserts a node as the last child of parent, or as the last top-level
    // node when parent is kNoNode. The node's selected image is its image.
    //
    // Nodes do not remember their last child (a million nodes, four bytes
    // each), so finding it walks the parent's children; a caller that
    // appends many children in a row passes the one it inserted last as
    // lastChild and the insertion takes constant time.
    NodeId InsertItem(std::string_view label, int image, NodeId parent);
    NodeId InsertItem(LabelId label, int image, NodeId parent, NodeId lastChild = kNoNode)
    {
        if (parent == kNoNode)
            lastChild = m_nLastRoot;
        else if (lastChild == kNoNode)
            lastChild = LastChildOf(parent);
        Node& node = m_nodes.emplace_back();
        node.parent = parent;
        node.label = label & kLabelMask;
        node.image = static_cast<std::uint32_t>(image) & 7u;
        const auto id = static_cast<NodeId>(m_nodes.size());
        if (lastChild != kNoNode)
            At(lastChild).nextSibling = id;
        else if (parent == kNoNode)
            m_nFirstRoot = id;
        else
            At(parent).firstChild = id;
        if (parent == kNoNode)
            m_nLastRoot = id;
        return id;
    }
    LabelId InternLabel(std::string_view text) { return m_labels.Intern(text); }
    // A node in no list: the parent of a list built before it is put in place.
    NodeId InsertDetached();

    // Every node made since the tree was last emptied, detached ones
    // included: handles run from 1 to GetCount().
    std::size_t GetCount() const { return m_nodes.size(); }
    // Lets memory reserved for nodes not yet inserted go back to the system.
    void ReleaseUnused() { m_nodes.release_unused(); }
    void DeleteAllItems();
    // Removes the last top-level node with everything below it; those must
    // be the nodes inserted last, as they are while a file is being loaded.
    void DeleteLastRoot();

    void SetItemData(NodeId node, std::int32_t param) { At(node).param = param; }
    std::int32_t GetItemData(NodeId node) const { return At(node).param; }
    void SetItemImage(NodeId node, int image) { At(node).image = static_cast<std::uint32_t>(image) & 7u; }
    int GetItemImage(NodeId node) const { return static_cast<int>(At(node).image); }
    std::string_view GetItemText(NodeId node) const { return m_labels.Text(At(node).label); }
    // The label as its interned id, so that it can be given back exactly.
    LabelId GetItemLabel(NodeId node) const { return At(node).label; }
    void SetItemLabel(NodeId node, LabelId label) { At(node).label = label & kLabelMask; }

    NodeId GetRootItem() const { return m_nFirstRoot; }
    NodeId GetChildItem(NodeId node) const { return At(node).firstChild; }
    NodeId GetNextSiblingItem(NodeId node) const { return At(node).nextSibling; }
    NodeId GetParentItem(NodeId node) const { return At(node).parent; }
    bool ItemHasChildren(NodeId node) const { return At(node).firstChild != kNoNode; }
    bool IsValid(NodeId node) const { return node != kNoNode && node <= m_nodes.size(); }
    // The top-level node above node (node itself at the top); for a
    // detached node, the top of the piece it is in.
    NodeId GetTopItem(NodeId node) const;
    // Whether node is in the tree: its top is one of the top-level nodes.
    bool IsAttached(NodeId node) const;

    // Positions among siblings; each walks the list, so costs at most its length.
    NodeId GetPrevSiblingItem(NodeId node) const;
    std::size_t GetChildCount(NodeId parent) const;
    // The child at index, or kNoNode past the end.
    NodeId GetChildAt(NodeId parent, std::size_t index) const;
    std::size_t GetIndexOf(NodeId node) const;

    // Takes the run of siblings first..last (prev: the sibling before first,
    // kNoNode when first comes first or is detached) out of its list and
    // puts it into toParent's children after toPrev (first when toPrev is
    // kNoNode); toParent kNoNode detaches the run. Top-level nodes are never
    // moved. The subtrees below the run come along untouched, so the cost
    // is the run's length (and, when a listener is told, the lists' lengths).
    void MoveRun(NodeId first, NodeId last, NodeId prev, NodeId toParent, NodeId toPrev);
    void SetListener(ITreeListener* listener) { m_pListener = listener; }

    // The node after node in a depth-first pre-order walk that stays below
    // boundary; with kNoNode as the boundary the walk goes through every
    // file in turn. kNoNode at the end. The walk keeps no stack, so a tree
    // nested a million deep costs no more than a flat one.
    NodeId NextInPreOrder(NodeId node, NodeId boundary) const
    {
        if (const NodeId child = At(node).firstChild; child != kNoNode)
            return child;
        // Climb to the nearest node with a later sibling, but never above
        // the level the walk started on.
        for (; node != boundary; node = At(node).parent) {
            if (const NodeId next = At(node).nextSibling; next != kNoNode)
                return next;
        }
        return kNoNode;
    }

private:
    // 20 bytes a node: the label and the image share one word.
    struct Node {
        NodeId parent = kNoNode;
        NodeId firstChild = kNoNode;
        NodeId nextSibling = kNoNode;
        std::int32_t param = 0;
        std::uint32_t label : 29 = 0;
        std::uint32_t image : 3 = 0;
    };
    static_assert(sizeof(Node) == 20);
    static constexpr std::uint32_t kLabelMask = (1u << 29) - 1;

    NodeId LastChildOf(NodeId parent) const;
    RowMove DescribeMove(NodeId first, NodeId last, NodeId prev, NodeId toParent, NodeId toPrev) const;
    Node& At(NodeId node) { return m_nodes[node - 1]; }
    const Node& At(NodeId node) const { return m_nodes[node - 1]; }

    CBlockVector<Node> m_nodes;
    CLabelPool m_labels;
    NodeId m_nFirstRoot = kNoNode;
    NodeId m_nLastRoot = kNoNode;
    ITreeListener* m_pListener = nullptr;
};

} // namespace qm
