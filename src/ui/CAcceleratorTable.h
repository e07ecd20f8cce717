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

    // With onlyIn, the keys are the command's only while that control has
    // the focus, and elsewhere reach the focused control as usual.
    void Add(QKeyCombination keys, Command command, InTextBox inTextBox = InTextBox::RunCommand,
             const QObject* onlyIn = nullptr);
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
        const QObject* onlyIn;
    };

    const Entry* Find(const QObject* target, const QKeyEvent& event) const;

    std::vector<Entry> m_entries;
};

} // namespace qm
