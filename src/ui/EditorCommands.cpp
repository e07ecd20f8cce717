#include "ui/EditorCommands.h"

#include "ui/CEditorDlg.h"
#include "ui/CEditorDlgUi.h"

#include <QAction>
#include <QPushButton>
#include <QTreeView>

#include <algorithm>

namespace qm {

std::span<const EditorCommand> EditorCommands()
{
    using D = CEditorDlg;
    using enum InTextBox;
    // The menu items' key hints are text only: the accelerator table, not
    // the menu, owns the keys, so they work wherever the focus is.
    static const EditorCommand kCommands[] = {
        {.id = ids::kCmdOpen, .menu = "File", .text = "&Open\tCtrl+O", .button = ids::kLoad,
         .keys = {Qt::CTRL | Qt::Key_O}, .handler = &D::OnLoad},
        {.id = ids::kCmdSave, .menu = "File", .text = "&Save\tCtrl+S", .button = ids::kSave,
         .keys = {Qt::CTRL | Qt::Key_S}, .handler = &D::OnSave},
        {.id = ids::kCmdUnload, .menu = "File", .text = "&Unload\tCtrl+U", .button = ids::kUnload,
         .keys = {Qt::CTRL | Qt::Key_U}, .handler = &D::OnUnload},
        {.id = ids::kCmdUnpack, .menu = "File", .text = "Unpack", .button = ids::kUnpack, .handler = &D::OnUnpack},
        {.id = ids::kCmdUnpack2Access, .menu = "File", .text = "Unpack2Access"},
        {.id = ids::kCmdUnpack2DB, .menu = "File", .text = "Unpack2DB"},
        {.id = ids::kCmdExit, .menu = "File", .text = "E&xit\tAlt+X", .separatorBefore = true, .button = ids::kExit,
         .keys = {Qt::ALT | Qt::Key_X}, .handler = &D::OnExit},

        {.id = ids::kCmdUndo, .menu = "Edit", .text = "&Undo\tCtrl+Z", .keys = {Qt::CTRL | Qt::Key_Z},
         .inTextBox = UndoTyping, .handler = &D::OnEditUndo},
        {.id = ids::kCmdRedo, .menu = "Edit", .text = "&Redo\tCtrl+Y",
         .keys = {Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::SHIFT | Qt::Key_Z}, .inTextBox = RedoTyping,
         .handler = &D::OnEditRedo},
        {.id = ids::kCmdFind, .menu = "Edit", .text = "Find...\tCtrl+F", .separatorBefore = true,
         .keys = {Qt::CTRL | Qt::Key_F}, .handler = &D::OnFind},
        {.id = ids::kCmdFindNext, .menu = "Edit", .text = "Find Next\tF3", .keys = {QKeyCombination(Qt::Key_F3)},
         .handler = &D::OnFindNext},

        {.id = ids::kCmdOptions, .menu = "Tools", .text = "Options", .handler = &D::OnOptions},
        {.id = ids::kCmdGuessTypes, .menu = "Tools", .text = "Guess types...", .handler = &D::OnGuessTypes},
        {.id = ids::kCmdAbout, .menu = "Help", .text = "About", .button = ids::kHelp, .handler = &D::OnAbout},

        {.id = ids::kCmdInsertChunk, .text = "&Insert chunk...\tIns", .inTreeMenu = true, .treeKeys = true,
         .keys = {QKeyCombination(Qt::Key_Insert)}, .handler = &D::OnInsertChunk},
        {.id = ids::kCmdDeleteChunk, .text = "&Delete\tDel", .inTreeMenu = true, .treeKeys = true,
         .keys = {QKeyCombination(Qt::Key_Delete)}, .handler = &D::OnDeleteChunk},
        {.id = ids::kCmdDuplicateChunk, .text = "D&uplicate\tCtrl+D", .inTreeMenu = true, .treeKeys = true,
         .keys = {Qt::CTRL | Qt::Key_D}, .handler = &D::OnDuplicateChunk},
        {.id = ids::kCmdMoveChunkUp, .text = "Move &up\tAlt+Up", .separatorBefore = true, .inTreeMenu = true,
         .treeKeys = true, .keys = {Qt::ALT | Qt::Key_Up}, .handler = &D::OnMoveChunkUp},
        {.id = ids::kCmdMoveChunkDown, .text = "Move do&wn\tAlt+Down", .inTreeMenu = true, .treeKeys = true,
         .keys = {Qt::ALT | Qt::Key_Down}, .handler = &D::OnMoveChunkDown},
        {.id = ids::kCmdCutChunk, .text = "Cu&t\tCtrl+X", .separatorBefore = true, .inTreeMenu = true,
         .treeKeys = true, .keys = {Qt::CTRL | Qt::Key_X}, .handler = &D::OnCutChunk},
        {.id = ids::kCmdCopyChunk, .text = "&Copy\tCtrl+C", .inTreeMenu = true, .treeKeys = true,
         .keys = {Qt::CTRL | Qt::Key_C}, .handler = &D::OnCopyChunk},
        {.id = ids::kCmdPasteChunks, .text = "&Paste\tCtrl+V", .inTreeMenu = true, .treeKeys = true,
         .keys = {Qt::CTRL | Qt::Key_V}, .handler = &D::OnPasteChunks},
        {.id = ids::kCmdExportChunk, .text = "&Export chunk...", .separatorBefore = true, .inTreeMenu = true,
         .handler = &D::OnExportChunk},
        {.id = ids::kCmdImportChunks, .text = "I&mport chunks...", .inTreeMenu = true, .handler = &D::OnImportChunks},
        {.id = ids::kCmdSaveThisFile, .text = "&Save this file", .separatorBefore = true, .inTreeMenu = true,
         .fileNodeOnly = true, .handler = &D::OnSaveThisFile},
        {.id = ids::kCmdSaveThisFileAs, .text = "Save this file &as...", .inTreeMenu = true, .fileNodeOnly = true,
         .handler = &D::OnSaveThisFileAs},

        {.id = ids::kDescReload, .button = ids::kDescReload, .handler = &D::OnDescReload},
        {.id = ids::kDescApply, .button = ids::kDescApply, .handler = &D::OnDescApply},
        {.id = ids::kApplyChanges, .button = ids::kApplyChanges, .handler = &D::OnApplyChanges},
        {.id = ids::kUndoChanges, .button = ids::kUndoChanges, .handler = &D::OnUndoChanges},
        {.id = ids::kView, .button = ids::kView, .handler = &D::OnView},
        {.id = ids::kEdit, .button = ids::kEdit, .handler = &D::OnEdit},
    };
    return kCommands;
}

QString CommandText(int id, const QString& caption)
{
    const auto commands = EditorCommands();
    const auto command = std::ranges::find(commands, id, &EditorCommand::id);
    const QString text = command == commands.end() ? QString() : QString::fromLatin1(command->text);
    if (caption.isEmpty())
        return text;
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    return tab < 0 ? caption : caption + text.mid(tab);
}

void BindCommands(CEditorDlg& dlg, const CEditorDlgUi& ui, CAcceleratorTable& accelerators)
{
    for (const EditorCommand& command : EditorCommands()) {
        if (!command.handler)
            continue;
        const auto run = [&dlg, handler = command.handler] { (dlg.*handler)(); };
        if (QAction* action = ui.Action(command.id))
            QObject::connect(action, &QAction::triggered, &dlg, run);
        if (auto* button = qobject_cast<QPushButton*>(ui.Control(command.button)))
            QObject::connect(button, &QPushButton::clicked, &dlg, run);
        for (const QKeyCombination keys : command.keys) {
            if (keys.key() != Qt::Key_unknown)
                accelerators.Add(keys, run, command.inTextBox, command.treeKeys ? ui.tree : nullptr);
        }
    }
}

} // namespace qm
