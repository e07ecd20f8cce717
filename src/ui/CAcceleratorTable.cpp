#include "ui/CAcceleratorTable.h"

#include <QKeyEvent>

namespace qm {

void CAcceleratorTable::Add(QKeyCombination keys, Command command)
{
    m_entries.emplace_back(keys, std::move(command));
}

const CAcceleratorTable::Command* CAcceleratorTable::Find(const QKeyEvent& event) const
{
    const QKeyCombination pressed(event.modifiers() & ~Qt::KeypadModifier, static_cast<Qt::Key>(event.key()));
    for (const auto& [keys, command] : m_entries) {
        if (keys == pressed)
            return &command;
    }
    return nullptr;
}

} // namespace qm
