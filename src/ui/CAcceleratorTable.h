#pragma once

#include <QKeyCombination>

#include <functional>
#include <utility>
#include <vector>

class QKeyEvent;

namespace qm {

// Keys bound to commands. The window offers every key press to the table
// before the focused control sees it, so the bindings work in every control,
// text editors included, whatever keys those would otherwise claim.
class CAcceleratorTable {
public:
    using Command = std::function<void()>;

    void Add(QKeyCombination keys, Command command);
    // The command bound to the event's keys, or none. Modifiers must match
    // exactly; the keypad flag is ignored.
    const Command* Find(const QKeyEvent& event) const;
    bool IsEmpty() const { return m_entries.empty(); }

private:
    std::vector<std::pair<QKeyCombination, Command>> m_entries;
};

} // namespace qm
