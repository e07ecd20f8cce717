#pragma once

#include "desc/CFieldDesc.h"
#include "edit/CEditHistory.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm {

class CMobDocument;

// What became of an edit the user asked for.
struct EditResult {
    enum class Status {
        Done,       // the change is made and is the newest step
        Unchanged,  // the document already was as asked; no step
        Refused,    // nothing changed; error says why
    };

    Status status = Status::Unchanged;
    std::string error;
    NodeId node = kNoNode;  // the node the step stands for

    bool Refused() const { return status == Status::Refused; }
};

// The one way a front (the window, mobtool) changes a loaded document: each
// action of the user is one call, which prepares the operation, does it
// through the history, and keeps the history's saved marks in step with
// saves, description writes and unloads. Nothing else is to change the
// document while files are loaded, so that everything can be undone.
class CEditSession {
public:
    explicit CEditSession(CMobDocument& doc, std::size_t byteCap = CEditHistory::kDefaultByteCap);

    CMobDocument& Document() { return m_doc; }
    const CMobDocument& Document() const { return m_doc; }
    const CEditHistory& History() const { return m_history; }

    // An operation from any factory, done as the newest step or refused.
    EditResult Do(PreparedEdit edit);
    // "A&pply changes": node's payload read from the data pane's text.
    EditResult ApplyText(NodeId node, std::string_view text);
    // A keystroke in the description box; idText as the TypeID field shows
    // it, shown the node whose panes are showing.
    EditResult SetDescription(std::string_view idText, std::string_view text, NodeId shown);
    // A whole description entry, made when there is none; loaded chunks
    // with its id take its name and data type.
    EditResult SetEntry(std::string_view key, CFieldDesc entry, NodeId shown);
    // Several whole entries of distinct keys as one step, named label.
    EditResult SetEntries(std::vector<std::pair<std::string, CFieldDesc>> entries, std::string label, NodeId shown);

    const IEditOperation* Undo() { return m_history.Undo(m_doc); }
    const IEditOperation* Redo() { return m_history.Redo(m_doc); }
    // The Edit menu's texts: "Undo Apply to GOLD", or empty text when there
    // is nothing to undo or redo.
    std::string UndoText() const;
    std::string RedoText() const;
    // The next keystroke starts a step of its own.
    void EndStep() { m_history.EndStep(); }

    // As the document's own, and on success the history marks what was
    // written as saved.
    bool SaveMobFile(const std::string& path);
    // One loaded file, by its node, while the others stay loaded: a file
    // node's own Save commands.
    bool SaveFile(NodeId fileNode, const std::string& path);
    bool WriteDescFile();
    bool ReadDescFile();
    // The table as the other file has it is written by definition. Steps
    // made on the old table stay; undone, they change the new one.
    bool SwitchDescFile(std::string_view fileName);
    // Every file unloaded and every step forgotten with them.
    void UnloadAll();

    bool HasUnsavedData() const { return m_history.HasUnsavedData(m_doc); }
    bool HasUnwrittenDescriptions() const { return m_history.HasUnwrittenDescriptions(); }

private:
    CMobDocument& m_doc;
    CEditHistory m_history;
};

} // namespace qm
