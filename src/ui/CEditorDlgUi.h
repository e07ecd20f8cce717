#pragma once

#include <QIcon>

#include <array>
#include <map>
#include <span>

class QAction;
class QDialog;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QTreeView;
class QWidget;

namespace qm {

class CDataEdit;
class CStatusBar;
struct EditorCommand;

// The main window's widgets, made by SetupUi: what a designer form would
// hold, written by hand. Controls are found again by their control id.
struct CEditorDlgUi {
    QMenuBar* menuBar = nullptr;
    // Everything below the menu bar; the controls are its children.
    QWidget* client = nullptr;
    QTreeView* tree = nullptr;
    QPlainTextEdit* descEdit = nullptr;
    CDataEdit* dataEdit = nullptr;
    // The menu right-clicking a tree node opens; empty while no command
    // asks to be on it.
    QMenu* treeMenu = nullptr;
    // The menu items and context-menu items, by command id.
    std::map<int, QAction*> actions;

    QWidget* Control(int id) const;
    QAction* Action(int id) const;
};

// Builds the window's controls in tab order at their places in dialog
// units, with their tooltips, the menu bar and the tree's context menu from
// the commands. dataEditLimit: the characters a user may type into the
// data editor.
CEditorDlgUi SetupUi(QDialog& dlg, std::span<const EditorCommand> commands, int dataEditLimit);

// The three-part status bar along the bottom of client: "Ready", the
// program's title behind its icon, the maker's address. The parts' right
// edges come from the window's outer width (a quarter, three quarters, the
// end) and are kept in parts.
CStatusBar* SetupStatusBar(QWidget* client, int outerWidth, const QIcon& icon, std::array<int, 3>& parts);

} // namespace qm
