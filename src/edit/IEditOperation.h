#pragma once

#include "mob/CChunkTree.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace qm {

class CMobDocument;

// One change to a loaded document that can be undone and done again.
//
// An operation is built by a factory that checks everything against the
// document as it is, changes nothing and refuses with a reason when the
// change cannot be made. After that, Apply and Revert cannot fail: the
// history calls them strictly in turn (Apply, Revert, Apply, ...) and only
// while the document is in the state the other one left, since every later
// step has been reverted first. An operation keeps exactly what it needs to
// go back and forth, and exchanges it with the document's on each call
// rather than copying it.
class IEditOperation {
public:
    virtual ~IEditOperation() = default;

    virtual void Apply(CMobDocument& doc) = 0;
    virtual void Revert(CMobDocument& doc) = 0;

    // What the step did, for the Edit menu ("Apply to GOLD" gives
    // "Undo Apply to GOLD").
    virtual std::string Label(const CMobDocument& doc) const = 0;

    // The node to select after the step was done, undone or done again, as
    // the step now stands: a step that takes nodes out of the tree names
    // the place they left while it is applied, the nodes while it is not;
    // one that adds nodes, the reverse. kNoNode when no node stands for it.
    virtual NodeId Node() const = 0;

    // Memory the step holds: the bytes it keeps to go back and forth and the
    // step itself. The history drops its oldest steps beyond a cap on the sum.
    virtual std::size_t KeptBytes() const = 0;

    // Whether the step changes the description table, so that the
    // description file no longer says what the table holds.
    virtual bool ChangesDescriptions() const = 0;

    // Appends the file nodes whose saved bytes the step changes. The answer
    // must be the same whether the step is applied or reverted.
    virtual void CollectFiles(const CMobDocument& doc, std::vector<NodeId>& files) const = 0;

    // Takes next, applied right after this step, into this step when both
    // are parts of one action of the user (keystrokes in one text); next is
    // then dropped. False leaves both as they are.
    virtual bool Absorb(IEditOperation& /*next*/) { return false; }

    // Whether the step, as it now stands, leaves the document as it found
    // it (typing that was typed away again).
    virtual bool ChangesNothing(const CMobDocument& /*doc*/) const { return false; }
};

// What a factory gives: the operation, not yet applied; or no operation and
// no error when the document already is as asked; or the reason the change
// was refused, with nothing changed.
struct PreparedEdit {
    std::unique_ptr<IEditOperation> op;
    std::string error;

    bool Refused() const { return !error.empty(); }

    static PreparedEdit Unchanged() { return {}; }
    static PreparedEdit Refuse(std::string reason) { return {nullptr, std::move(reason)}; }
};

} // namespace qm
