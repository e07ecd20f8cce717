#include "edit/CEditHistory.h"

#include "mob/CMobDocument.h"

#include <algorithm>

namespace qm {

CEditHistory::CEditHistory(std::size_t byteCap) : m_nByteCap(byteCap) {}

CEditHistory::~CEditHistory() = default;

const IEditOperation& CEditHistory::StepAt(Position position) const
{
    return *m_steps[static_cast<std::size_t>(position - m_nDropped)];
}

bool CEditHistory::Touches(const CMobDocument& doc, const IEditOperation& step, const Scope& scope) const
{
    if (scope.descriptions)
        return step.ChangesDescriptions();
    m_scratchFiles.clear();
    step.CollectFiles(doc, m_scratchFiles);
    return std::find(m_scratchFiles.begin(), m_scratchFiles.end(), scope.file) != m_scratchFiles.end();
}

// Steps dropped before the mark's own did not touch its scope (a dropped
// step that did makes the mark unreachable), so the walk starts at the
// oldest step kept.
template <class Predicate>
bool CEditHistory::IsAtMark(Position mark, Predicate touches) const
{
    if (mark == kUnreachable)
        return false;
    const Position cursor = Cursor();
    for (Position p = std::max(std::min(mark, cursor), m_nDropped); p < std::max(mark, cursor); ++p) {
        if (touches(StepAt(p)))
            return false;
    }
    return true;
}

bool CEditHistory::IsAtMark(const CMobDocument& doc, Position mark, const Scope& scope) const
{
    return IsAtMark(mark, [&](const IEditOperation& step) { return Touches(doc, step, scope); });
}

CEditHistory::Position CEditHistory::FileMark(NodeId file) const
{
    const auto it = m_fileMarks.find(file);
    return it == m_fileMarks.end() ? 0 : it->second;
}

// A mark among the undone steps moves back to the cursor when none of the
// steps between touches its scope; otherwise its state is gone for good.
void CEditHistory::DropUndone(const CMobDocument& doc)
{
    const Position cursor = Cursor();
    const auto settle = [&](Position& mark, const Scope& scope) {
        if (mark > cursor)
            mark = IsAtMark(doc, mark, scope) ? cursor : kUnreachable;
    };
    settle(m_nDescMark, Scope{true, kNoNode});
    for (auto& [file, mark] : m_fileMarks)
        settle(mark, Scope{false, file});
    while (m_steps.size() > m_nDone) {
        m_nKeptBytes -= m_steps.back()->KeptBytes();
        m_steps.pop_back();
    }
}

// Only an applied step is dropped. A mark at or before it becomes
// unreachable when the step touched its scope, since the saved state can
// then no longer be undone to.
void CEditHistory::DropOldest(const CMobDocument& doc)
{
    const IEditOperation& oldest = *m_steps.front();
    if (m_nDescMark != kUnreachable && m_nDescMark <= m_nDropped && oldest.ChangesDescriptions())
        m_nDescMark = kUnreachable;
    m_scratchFiles.clear();
    oldest.CollectFiles(doc, m_scratchFiles);
    for (const NodeId file : m_scratchFiles) {
        if (const Position mark = FileMark(file); mark != kUnreachable && mark <= m_nDropped)
            m_fileMarks.insert_or_assign(file, kUnreachable);
    }
    m_nKeptBytes -= oldest.KeptBytes();
    m_steps.pop_front();
    ++m_nDropped;
    --m_nDone;
}

void CEditHistory::KeepWithinCap(const CMobDocument& doc)
{
    while (m_nKeptBytes > m_nByteCap && m_nDone > 0 && m_steps.size() > 1)
        DropOldest(doc);
}

const IEditOperation* CEditHistory::Do(CMobDocument& doc, std::unique_ptr<IEditOperation> op)
{
    if (!op)
        return nullptr;
    DropUndone(doc);
    op->Apply(doc);

    if (m_bNewestOpen && m_nDone > 0) {
        IEditOperation& newest = *m_steps.back();
        const std::size_t bytesBefore = newest.KeptBytes();
        if (newest.Absorb(*op)) {
            m_nKeptBytes -= bytesBefore;
            if (newest.ChangesNothing(doc)) {
                m_steps.pop_back();
                --m_nDone;
                m_bNewestOpen = false;
                return nullptr;
            }
            m_nKeptBytes += newest.KeptBytes();
            return &newest;
        }
    }
    m_nKeptBytes += op->KeptBytes();
    m_steps.push_back(std::move(op));
    ++m_nDone;
    m_bNewestOpen = true;
    KeepWithinCap(doc);
    return m_steps.back().get();
}

// The cap is kept when a step is added. Undo and redo only trade what a step
// holds for what the document held, so they leave the steps alone: the step
// just undone or done again must stay.
const IEditOperation* CEditHistory::Undo(CMobDocument& doc)
{
    if (m_nDone == 0)
        return nullptr;
    IEditOperation& step = *m_steps[m_nDone - 1];
    m_nKeptBytes -= step.KeptBytes();
    step.Revert(doc);
    m_nKeptBytes += step.KeptBytes();
    --m_nDone;
    m_bNewestOpen = false;
    return &step;
}

const IEditOperation* CEditHistory::Redo(CMobDocument& doc)
{
    if (m_nDone == m_steps.size())
        return nullptr;
    IEditOperation& step = *m_steps[m_nDone];
    m_nKeptBytes -= step.KeptBytes();
    step.Apply(doc);
    m_nKeptBytes += step.KeptBytes();
    ++m_nDone;
    m_bNewestOpen = false;
    return &step;
}

const IEditOperation* CEditHistory::NextUndo() const
{
    return m_nDone == 0 ? nullptr : m_steps[m_nDone - 1].get();
}

const IEditOperation* CEditHistory::NextRedo() const
{
    return m_nDone == m_steps.size() ? nullptr : m_steps[m_nDone].get();
}

void CEditHistory::MarkFileSaved(NodeId file)
{
    m_fileMarks.insert_or_assign(file, Cursor());
    m_bNewestOpen = false;
}

void CEditHistory::MarkDescriptionsWritten()
{
    m_nDescMark = Cursor();
    m_bNewestOpen = false;
}

bool CEditHistory::HasUnsavedChanges(const CMobDocument& doc, NodeId file) const
{
    return !IsAtMark(doc, FileMark(file), Scope{false, file});
}

bool CEditHistory::HasUnsavedData(const CMobDocument& doc) const
{
    const CChunkTree& tree = doc.Tree();
    for (NodeId file = tree.GetRootItem(); file != kNoNode; file = tree.GetNextSiblingItem(file)) {
        if (HasUnsavedChanges(doc, file))
            return true;
    }
    return false;
}

bool CEditHistory::HasUnwrittenDescriptions() const
{
    return !IsAtMark(m_nDescMark, [](const IEditOperation& step) { return step.ChangesDescriptions(); });
}

void CEditHistory::Clear()
{
    const bool unwritten = HasUnwrittenDescriptions();
    m_steps.clear();
    m_nDone = 0;
    m_nDropped = 0;
    m_nKeptBytes = 0;
    m_bNewestOpen = false;
    m_fileMarks.clear();
    m_nDescMark = unwritten ? kUnreachable : 0;
}

} // namespace qm
