#pragma once

#include <QEvent>
#include <QKeyCombination>

#include <functional>
#include <vector>

class QKeyEvent;
class QObject;

namespace qm {

// What a command's keys do while the focus is in a text box that takes
// typing.
enum class InTextBox {
    RunCommand,  // the same as anywhere else
    UndoTyping,  // undo typing in that box, as every text box does
    RedoTyping,
};

// Keys bound to commands. The window offers every key press to the table
// before the focused control sees it, so the bindings work in every control,
// text editors included, whatever keys those would otherwise claim.
class CAcceleratorTable {
public:
    using Command = std::function<void()>;

    void Add(QKeyCombination keys, Command command, InTextBox inTextBox = InTextBox::RunCommand);
    bool IsEmpty() const { return m_entries.empty(); }

    // Runs what the event's keys are bound to, when they are bound; true
    // when the event is taken. target is the control the event is for.
    // Modifiers must match exactly; the keypad flag is ignored.
    bool Dispatch(QObject* target, QKeyEvent& event) const;

private:
    struct Entry {
        QKeyCombination keys;
        Command command;
        InTextBox inTextBox;
    };

    const Entry* Find(const QKeyEvent& event) const;

    std::vector<Entry> m_entries;
};

} // namespace qm
