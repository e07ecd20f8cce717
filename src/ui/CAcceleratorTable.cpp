#include "ui/CAcceleratorTable.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace qm {

namespace {

// Undoes or redoes typing when target is a text box that takes typing;
// false, doing nothing, for any other control.
bool EditTyping(QObject* target, InTextBox action, bool run)
{
    const bool undo = action == InTextBox::UndoTyping;
    if (auto* box = qobject_cast<QPlainTextEdit*>(target); box && !box->isReadOnly()) {
        if (run)
            undo ? box->undo() : box->redo();
        return true;
    }
    if (auto* line = qobject_cast<QLineEdit*>(target); line && !line->isReadOnly()) {
        if (run)
            undo ? line->undo() : line->redo();
        return true;
    }
    return false;
}

} // namespace

void CAcceleratorTable::Add(QKeyCombination keys, Command command, InTextBox inTextBox, const QObject* onlyIn)
{
    m_entries.push_back({keys, std::move(command), inTextBox, onlyIn});
}

const CAcceleratorTable::Entry* CAcceleratorTable::Find(const QObject* target, const QKeyEvent& event) const
{
    const QKeyCombination pressed(event.modifiers() & ~Qt::KeypadModifier, static_cast<Qt::Key>(event.key()));
    for (const Entry& entry : m_entries) {
        if (entry.keys == pressed && (!entry.onlyIn || entry.onlyIn == target))
            return &entry;
    }
    return nullptr;
}

bool CAcceleratorTable::Dispatch(QObject* target, QKeyEvent& event) const
{
    const Entry* entry = Find(target, event);
    if (!entry)
        return false;
    // Claiming the override keeps text editors from taking the keys for
    // themselves; the command runs on the key press that follows.
    const bool run = event.type() == QEvent::KeyPress;
    const bool typing = entry->inTextBox != InTextBox::RunCommand && EditTyping(target, entry->inTextBox, run);
    if (run && !typing)
        entry->command();
    event.accept();
    return true;
}

} // namespace qm
