#pragma once

#include "edit/CEditSession.h"
#include "inspect/TypeGuess.h"
#include "mob/CMobDocument.h"
#include "ui/CAcceleratorTable.h"
#include "ui/CCipherTraceLog.h"
#include "ui/CControlLayout.h"
#include "ui/CDataEdit.h"
#include "ui/CEditorDlgUi.h"
#include "ui/CMyFindDlg.h"
#include "ui/IUserPrompts.h"

#include <QDialog>
#include <QIcon>
#include <QPointer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

class QAction;
class QPlainTextEdit;
class QTreeView;

namespace qm {

class CChunkTreeModel;
class CCodePage;
class CDataViewPane;
class CStatusBar;
class IEditOperation;
struct EditorCommand;

// The main window: the chunk tree on the left, the description, field-info
// and data panes on the right, the command buttons along the top, a menu bar
// and a status bar. It owns the document for its whole life and changes it
// only through the edit session, so every change can be undone.
//
// This class holds the handlers: each turns what the user did into a call
// on the session or the document and then brings the views up to date. The
// widgets are made in CEditorDlgUi.cpp, the commands declared in
// EditorCommands.cpp, and the tree is shown by CChunkTreeModel.
class CEditorDlg : public QDialog {
    Q_OBJECT
public:
    // The data editor holds at most this many characters.
    static constexpr int kDataEditLimit = 200000;

    explicit CEditorDlg(IUserPrompts& prompts, QWidget* parent = nullptr);
    ~CEditorDlg() override;

    // Reads the descriptions and sets every control to its starting state.
    // False when the descriptions could not be read: the reason has been
    // shown and the program must end with ExitCode().
    bool OnInitDialog();

    bool ExitRequested() const { return m_nExitCode != 0; }
    int ExitCode() const { return m_nExitCode; }

    // Loads files as if they had been chosen in the Open dialog.
    void LoadFiles(const QStringList& paths);

    // The smallest size the window may be given; empty before initialisation.
    QSize OnGetMinMaxInfo() const;

    // The code page in which labels, descriptions and payload text are
    // read and written; 1250 to 1258, the default for any other number.
    void SetCodePage(int number);
    const CCodePage& CodePage() const { return *m_pCodePage; }

    // The description file initialisation reads; a relative name is taken
    // from the working folder. "mob_desc.txt" unless set before.
    void SetDescFile(const QString& name) { m_strDescFileName = name; }
    // The full path of the description file in use.
    QString DescFile() const;

    QWidget* Control(int id) const { return m_ui.Control(id); }
    QAction* MenuItem(int commandId) const { return m_ui.Action(commandId); }
    QTreeView* TreeCtrl() const { return m_pTreeCtrl; }
    CDataEdit* DataEdit() const { return m_pDataEdit; }
    // The hex view and inspector "&View" shows in the data editor's place.
    CDataViewPane* DataView() const { return m_pDataView; }
    bool IsViewMode() const { return m_bViewMode; }
    QPlainTextEdit* DescEdit() const { return m_descEdit; }
    QWidget* ClientArea() const { return m_ui.client; }
    CStatusBar* StatusBar() const { return m_statusBar; }
    CChunkTreeModel& TreeModel() { return *m_pTreeModel; }
    const CMobDocument& Document() const { return m_doc; }
    CEditSession& Session() { return m_session; }
    int GetLoadedFiles() const { return m_nLoadedFiles; }
    const QString& GetLastPath() const { return m_strLastPath; }
    const std::array<int, 3>& GetStatusParts() const { return m_nStatusParts; }
    // The open Find window, if any.
    CMyFindDlg* FindDlg() const { return m_pFindDlg; }
    const QString& GetFindString() const { return m_strFind; }

    // Every way of closing ends here; unsaved work is asked about first.
    void done(int result) override;

signals:
    void CodePageChanged(int number);
    // Another description file was chosen under Options.
    void DescFileChanged(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The command table names the command handlers.
    friend std::span<const EditorCommand> EditorCommands();

    // Commands.
    void OnLoad();
    void OnSave();
    void OnUnload();
    void OnUnpack();
    void OnExit();
    void OnEditUndo();
    void OnEditRedo();
    void OnAbout();
    void OnFind();
    void OnFindNext();
    void OnOptions();
    void OnDescReload();
    void OnDescApply();
    void OnApplyChanges();
    void OnUndoChanges();
    // The tree's context menu and its keys, on the selected node.
    void OnInsertChunk();
    void OnDeleteChunk();
    void OnDuplicateChunk();
    void OnMoveChunkUp();
    void OnMoveChunkDown();
    void OnCutChunk();
    void OnCopyChunk();
    void OnPasteChunks();
    void OnExportChunk();
    void OnImportChunks();
    void OnSaveThisFile();
    void OnSaveThisFileAs();
    void OnView();
    void OnEdit();
    void OnGuessTypes();

    // Notifications.
    void OnTreeSelChanged();
    void OnTreeRightClick(const QPoint& position);
    // The context menu on node at a place on the screen.
    void ShowTreeMenu(NodeId node, const QPoint& globalPosition);
    void OnDescChanged();
    void OnDataChanged();
    void OnFindNotify();
    void OnSize();
    // Accelerators, Escape and Enter, before the focused control sees them.
    bool PreTranslateMessage(QObject* target, QEvent* event);
    bool HandleEnter(QObject* target);

    // After an undo or redo: the step's node selected and shown.
    void ShowStep(const IEditOperation* step);
    // The node a change stands for selected, its branches opened, and shown.
    void ShowChangedNode(NodeId node);
    // A change of structure done, or its refusal shown.
    void DoStructureEdit(PreparedEdit edit);
    void MoveSelectedChunk(int step);
    // The bytes node saves as, header included; none, with the reason
    // shown, when they cannot be made.
    std::optional<std::vector<std::uint8_t>> SavedBytes(NodeId node);
    // New chunks from bytes where the selected node takes them.
    void PasteBytes(NodeId node, std::span<const std::uint8_t> bytes);
    // Saves through save, with progress, and reports; true when saved.
    bool SaveWith(const QString& path, const std::function<bool(const std::string&)>& save);
    // What follows from the history: the Undo and Redo items, the
    // description "Apply" button and the caption's unsaved-work mark.
    void ShowEditState();
    bool ConfirmClose();
    QString UnwrittenDescriptions() const;
    void UseDescFile(const QString& path);
    void RequestExit(int exitCode);
    void EnableFileCommands(bool enable);
    void EnableControl(int id, bool enable);
    void ShowMessage(const QString& text, MessageIcon icon);
    // The file node of the selected node, else the only file; none when
    // several files are loaded and nothing is selected.
    NodeId FileToUnpack() const;
    // Loads a MOB file, or packs an unpacked document (*.json) and shows it
    // as a loaded file; false with the reason shown.
    bool LoadOneFile(const QString& path);

    // The panes.
    NodeId SelectedNode() const;
    void ShowSelectedItem();
    void ClearPanes();
    void SetField(int id, const QString& text);
    // Text the program puts into the description box, which is no user edit.
    void SetDescText(const QString& text);
    void EnableDataButtons(bool enable);

    // The hex view and the inspector.
    void SetViewMode(bool view);
    void ShowDataView(NodeId node);
    void OnUseType(std::int32_t dataType);
    // After a change of description entries: labels and panes read again.
    void ShowEntryStep(const EditResult& result);
    // The guesses for the undescribed ids, made again after any change.
    const std::vector<TypeGuess>& Guesses();
    QString GuessText(std::uint32_t id);

    // Find.
    void SearchFromSelection();
    NodeId FindInSubtree(const QString& text, NodeId node);

    IUserPrompts& m_prompts;
    CEditorDlgUi m_ui;
    QIcon m_hIcon;
    QRect m_rcInitial;
    CControlLayout m_layout;
    CStatusBar* m_statusBar = nullptr;
    std::array<int, 3> m_nStatusParts{};
    QPointer<CMyFindDlg> m_pFindDlg;
    QTreeView* m_pTreeCtrl;
    CDataEdit* m_pDataEdit;
    CDataViewPane* m_pDataView;
    bool m_bViewMode = false;
    NodeId m_nViewedNode = kNoNode;
    std::vector<TypeGuess> m_guesses;
    bool m_bGuessesStale = true;
    CMobDocument m_doc;
    // After the document: the steps may hold payloads the document lent.
    CEditSession m_session{m_doc};
    std::unique_ptr<CChunkTreeModel> m_pTreeModel;
    CAcceleratorTable m_hAccel;
    QString m_strFind;
    bool m_bSkipCurrent = false;
    bool m_bInitialized = false;
    int m_nLoadedFiles = 0;
    // The path each file node was loaded from, for its own Save commands.
    std::unordered_map<NodeId, QString> m_filePaths;
    QString m_strDescFileName = QStringLiteral("mob_desc.txt");
    QString m_strLastPath;
    QPlainTextEdit* m_descEdit;
    const CCodePage* m_pCodePage;
    bool m_bFillingDesc = false;
    CCipherTraceLog m_cipherTrace;
    int m_nExitCode = 0;
};

} // namespace qm
