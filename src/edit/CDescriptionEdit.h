#pragma once

#include "desc/CFieldDesc.h"
#include "edit/IEditOperation.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// A change to one entry of the description table: the description text the
// user types, or the whole entry (name, data type and description), which
// may be new. The chunks already loaded with the entry's id follow a new
// name and data type at once: their labels, data types and images change
// with the entry and change back when it is undone.
class CDescriptionEdit final : public IEditOperation {
public:
    // What typing in the description box does: the description of the
    // entry whose key is in idText, as the TypeID field shows it
    // ("0x0000A000"). Refused with the table's own message when there is no
    // such entry.
    static PreparedEdit ForDescription(const CMobDocument& doc, std::string_view idText, std::string_view text,
                                       NodeId shown);

    // The entry under key, made when there is none yet.
    static PreparedEdit ForEntry(const CMobDocument& doc, std::string_view key, CFieldDesc entry, NodeId shown);

    // Made by the two factories only, which check the change first.
    class Checked {
        friend class CDescriptionEdit;
        Checked() = default;
    };
    CDescriptionEdit(Checked, std::string_view key, std::optional<CFieldDesc> entry, bool chunksFollow,
                     std::string label, NodeId shown);

    void Apply(CMobDocument& doc) override { Exchange(doc); }
    void Revert(CMobDocument& doc) override { Exchange(doc); }
    std::string Label(const CMobDocument& /*doc*/) const override { return m_strLabel; }
    NodeId Node() const override { return m_node; }
    std::size_t KeptBytes() const override;
    bool ChangesDescriptions() const override { return true; }
    void CollectFiles(const CMobDocument& /*doc*/, std::vector<NodeId>& /*files*/) const override {}
    // Keystrokes in the description of one entry make one step.
    bool Absorb(IEditOperation& next) override;
    bool ChangesNothing(const CMobDocument& doc) const override;

private:
    // A loaded chunk whose label, data type and image follow the entry; it
    // holds the version that is not in the tree.
    struct FollowingChunk {
        NodeId node;
        std::int32_t dataType;
        std::uint32_t label;
        int image;
    };


    void Exchange(CMobDocument& doc);
    template <class Visitor>
    void ForEachChunkOfTheId(CMobDocument& doc, NodeId first, NodeId last, Visitor&& visit) const;
    void FindFollowingChunks(CMobDocument& doc);
    void TypeLaterChunks(CMobDocument& doc) const;

    std::string m_strKey;
    // The entry that is not in the table: the new one before Apply, the old
    // one (or none, for an entry that Apply makes) after it.
    std::optional<CFieldDesc> m_entry;
    std::vector<FollowingChunk> m_chunks;
    // The nodes there were when the chunks were found; later ones came
    // with files loaded since.
    NodeId m_nNodesFound = 0;
    std::string m_strLabel;
    NodeId m_node;
    // Whether the name or the data type changes, so that loaded chunks follow.
    bool m_bChunksFollow;
    bool m_bChunksFound = false;
};

} // namespace qm
