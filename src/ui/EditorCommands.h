#pragma once

#include "ui/CAcceleratorTable.h"
#include "ui/EditorIds.h"

#include <QKeyCombination>
#include <QString>

#include <array>
#include <span>

namespace qm {

class CEditorDlg;
struct CEditorDlgUi;

// One command of the main window: every place it can be given from and
// the handler it reaches. The table of them is the one place a command is
// declared; the menus, the tree's context menu, the buttons and the
// accelerators are all made from it.
struct EditorCommand {
    // The menu command id (ids::kCmd...), or the button's id for a command
    // that only a button gives.
    int id = 0;
    // The menu-bar menu holding it ("File"), or none.
    const char* menu = nullptr;
    // The menu item's text, with a tab before the shown keys.
    const char* text = nullptr;
    bool separatorBefore = false;
    // Also an item of the tree's context menu, on the node right-clicked.
    bool inTreeMenu = false;
    // Shown in the tree's context menu on a file node only.
    bool fileNodeOnly = false;
    // The keys give the command only while the tree has the focus; in any
    // other control they do what that control does with them.
    bool treeKeys = false;
    // The button giving it (ids::k...), or ids::kNoId.
    int button = ids::kNoId;
    // Up to two key combinations; Qt::Key_unknown for none.
    std::array<QKeyCombination, 2> keys{};
    InTextBox inTextBox = InTextBox::RunCommand;
    // None for a command the window shows but never enables.
    void (CEditorDlg::*handler)() = nullptr;
};

// Every command, menu items in menu order.
std::span<const EditorCommand> EditorCommands();

// The menu text of command id with caption in place of its own, the shown
// keys kept ("&Undo Apply to GOLD\tCtrl+Z"); an empty caption gives the
// table's text.
QString CommandText(int id, const QString& caption);

// Connects every command's menu items, button and keys to its handler.
void BindCommands(CEditorDlg& dlg, const CEditorDlgUi& ui, CAcceleratorTable& accelerators);

} // namespace qm
