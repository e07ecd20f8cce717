#pragma once

#include "edit/IEditOperation.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qm {

// Every change of structure: a run of sibling chunks taken out of one place
// and put into another. Delete puts a chunk out of the tree; insert, paste
// and duplicate take new chunks, walked from bytes on the first apply, out
// of a list of their own; move goes from one place in the tree to another.
// Apply and Revert move the same nodes back and forth, so the nodes keep
// their keys and nothing is copied after the first apply.
class CChunkMove final : public IEditOperation {
public:
    // A place among a list's children: after prev, or first when prev is
    // kNoNode. A parent of kNoNode is no list: out of the tree.
    struct Place {
        NodeId parent = kNoNode;
        NodeId prev = kNoNode;
    };
    // What the Edit menu and the selection show for the step.
    struct Shown {
        std::string label;
        NodeId applied = kNoNode;   // to select once applied; kNoNode: the first chunk of the run
        NodeId reverted = kNoNode;  // to select once reverted
    };
    using Files = std::array<NodeId, 2>;  // the one or two files touched; kNoNode for none

    // The factories. Each refuses, with a reason and nothing changed: a node
    // that is not in the tree; a place that is no file or container (a
    // chunk of type REC) or past the end of its list; a container or file
    // that would outgrow what the format holds.
    //
    // A new chunk with the id and payload at index among parent's
    // children, named and typed from the description table as loading
    // would, and walked into children when its type is REC.
    static PreparedEdit ForInsert(const CMobDocument& doc, NodeId parent, std::size_t index, std::uint32_t id,
                                  std::span<const std::uint8_t> payload);
    // The chunks that bytes hold (as WriteChunk makes them) at index among
    // parent's children. Bytes that are not whole chunks, each inside the
    // list that holds it, are refused.
    static PreparedEdit ForImport(const CMobDocument& doc, NodeId parent, std::size_t index,
                                  std::span<const std::uint8_t> bytes);
    // A copy of node and its subtree, right after it.
    static PreparedEdit ForDuplicate(CMobDocument& doc, NodeId node);
    // node and its subtree out of the tree; a file node is refused.
    static PreparedEdit ForDelete(const CMobDocument& doc, NodeId node);
    // node to index among parent's children, counted without node, in the
    // same list or another, of the same file or another.
    static PreparedEdit ForMove(const CMobDocument& doc, NodeId node, NodeId parent, std::size_t index);

    // Made by the factories only.
    class Checked {
        friend class CChunkMove;
        Checked() = default;
    };
    // node, from where it is to another place.
    CChunkMove(Checked, NodeId node, Place from, Place to, Shown shown, Files files);
    // The chunks that bytes hold, new, to a place in the tree.
    CChunkMove(Checked, std::vector<std::uint8_t> bytes, Place to, Shown shown, Files files);

    void Apply(CMobDocument& doc) override;
    void Revert(CMobDocument& doc) override;
    std::string Label(const CMobDocument& /*doc*/) const override { return m_shown.label; }
    NodeId Node() const override;
    std::size_t KeptBytes() const override;
    bool ChangesDescriptions() const override { return false; }
    void CollectFiles(const CMobDocument& doc, std::vector<NodeId>& files) const override;

private:
    NodeId m_first = kNoNode;
    NodeId m_last = kNoNode;
    Place m_from;
    Place m_to;
    // The bytes of new chunks until the first apply walks them.
    std::vector<std::uint8_t> m_bytes;
    Shown m_shown;
    Files m_files;
    bool m_bApplied = false;
};

} // namespace qm
