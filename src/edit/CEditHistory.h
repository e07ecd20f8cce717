#pragma once

#include "edit/IEditOperation.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace qm {

class CMobDocument;

// The steps done to a document, for undo and redo, and what has been saved.
//
// Steps form one line: those before the cursor are applied, those after it
// were undone and can be done again until a new step takes their place.
//
// Whether there is unsaved work is read from the line, never kept in a
// flag. A save marks the cursor's place for its file, a description write
// for the descriptions. Something is unsaved exactly when a step that
// touches it lies between the mark and the cursor, so undoing back to the
// saved state leaves nothing unsaved and undoing past it makes it unsaved
// again. A mark whose state can no longer be reached (its steps were
// replaced or dropped) stays unsaved until the next save.
class CEditHistory {
public:
    static constexpr std::size_t kDefaultByteCap = std::size_t{256} << 20;

    // byteCap: the most memory the steps may keep together; beyond it the
    // oldest steps are dropped, never the newest.
    explicit CEditHistory(std::size_t byteCap = kDefaultByteCap);
    ~CEditHistory();
    CEditHistory(const CEditHistory&) = delete;
    CEditHistory& operator=(const CEditHistory&) = delete;

    // Applies op, prepared against doc as it is now, and makes it the
    // newest step; steps that were undone are dropped. A step that continues
    // the newest one (the next keystroke in the same description) joins it,
    // until EndStep(), an undo, a redo or a save ends it. The step that
    // now stands for op; none when joining made the newest step vanish.
    const IEditOperation* Do(CMobDocument& doc, std::unique_ptr<IEditOperation> op);

    // The step undone or done again, for selecting its node; none when there
    // was nothing to undo or redo. It stays valid until the next change of
    // the history.
    const IEditOperation* Undo(CMobDocument& doc);
    const IEditOperation* Redo(CMobDocument& doc);

    const IEditOperation* NextUndo() const;
    const IEditOperation* NextRedo() const;
    std::size_t UndoCount() const { return m_nDone; }
    std::size_t RedoCount() const { return m_steps.size() - m_nDone; }

    // The next step starts a new one even where it could join the newest
    // (the user left the description box, or chose another chunk).
    void EndStep() { m_bNewestOpen = false; }

    // A successful save of file (a top-level node) or write of the
    // description file: the document as it is now is the saved state.
    void MarkFileSaved(NodeId file);
    void MarkDescriptionsWritten();

    bool HasUnsavedChanges(const CMobDocument& doc, NodeId file) const;
    // Whether any loaded file has unsaved changes.
    bool HasUnsavedData(const CMobDocument& doc) const;
    bool HasUnwrittenDescriptions() const;

    // Forgets every step, as when every file is unloaded. Unwritten
    // description changes stay unwritten: the table still holds them.
    void Clear();

    std::size_t KeptBytes() const { return m_nKeptBytes; }
    std::size_t ByteCap() const { return m_nByteCap; }

private:
    // A place on the line: the number of steps applied since the history
    // began, dropped steps included.
    using Position = std::int64_t;
    static constexpr Position kUnreachable = -1;

    // What a mark is about: the descriptions, or one file's data.
    struct Scope {
        bool descriptions;
        NodeId file;
    };

    Position Cursor() const { return m_nDropped + static_cast<Position>(m_nDone); }
    // A file nobody saved yet is saved as it was loaded: at the start.
    Position FileMark(NodeId file) const;
    const IEditOperation& StepAt(Position position) const;
    bool Touches(const CMobDocument& doc, const IEditOperation& step, const Scope& scope) const;
    // Whether no step between mark and the cursor touches what the mark is
    // about: the document is in the state that was saved.
    template <class Predicate>
    bool IsAtMark(Position mark, Predicate touches) const;
    bool IsAtMark(const CMobDocument& doc, Position mark, const Scope& scope) const;
    void DropUndone(const CMobDocument& doc);
    void DropOldest(const CMobDocument& doc);
    void KeepWithinCap(const CMobDocument& doc);

    std::deque<std::unique_ptr<IEditOperation>> m_steps;
    std::size_t m_nDone = 0;        // m_steps[0, m_nDone) are applied
    Position m_nDropped = 0;        // steps dropped from the front so far
    std::size_t m_nKeptBytes = 0;
    std::size_t m_nByteCap;
    bool m_bNewestOpen = false;
    Position m_nDescMark = 0;
    // The files saved since the history began, and those whose saved state
    // was dropped; every other file's mark is the start.
    std::map<NodeId, Position> m_fileMarks;
    mutable std::vector<NodeId> m_scratchFiles;
};

} // namespace qm
