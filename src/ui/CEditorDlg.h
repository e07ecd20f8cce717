#pragma once

#include "mob/CMobDocument.h"
#include "ui/CAcceleratorTable.h"
#include "ui/CCipherTraceLog.h"
#include "ui/CControlLayout.h"
#include "ui/CDataEdit.h"
#include "ui/CMyFindDlg.h"
#include "ui/IUserPrompts.h"

#include <QDialog>
#include <QIcon>
#include <QPointer>

#include <array>
#include <map>
#include <memory>

class QAction;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QTreeView;

namespace qm {

class CChunkTreeModel;
class CCodePage;
class CStatusBar;

// The main window: the chunk tree on the left, the description, field-info
// and data panes on the right, the command buttons along the top, a menu bar
// and a status bar. It owns the document for its whole life.
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

    // Changes that closing would lose: applied edits not saved, or
    // description changes not written.
    bool HasUnsavedWork() const;

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

    QWidget* Control(int id) const;
    QAction* MenuItem(int commandId) const;
    QTreeView* TreeCtrl() const { return m_pTreeCtrl; }
    CDataEdit* DataEdit() const { return m_pDataEdit; }
    QPlainTextEdit* DescEdit() const { return m_descEdit; }
    QWidget* ClientArea() const { return m_pClient; }
    CStatusBar* StatusBar() const { return m_statusBar; }
    CChunkTreeModel& TreeModel() { return *m_pTreeModel; }
    CMobDocument& Document() { return m_doc; }
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

private slots:
    void OnLoad();
    void OnSave();
    void OnUnload();
    void OnAbout();
    void OnFind();
    void OnFindNext();
    void OnFindNotify();
    void OnOptions();

    // The pane handlers: selection, the description and data editors and
    // their buttons.
    void OnTreeSelChanged();
    void OnTreeRightClick(const QPoint& position);
    void OnDescChanged();
    void OnDataChanged();
    void OnDescApply();
    void OnDescReload();
    void OnApplyChanges();
    void OnUndoChanges();

private:
    enum class ControlKind : int;
    struct ControlTemplate;

    void CreateControls();
    QWidget* CreateControl(const ControlTemplate& entry);
    void CreateMenu();
    void CreateTooltips();
    void CreateAccelerators();
    void CreateStatusBar();
    void SetUpTree();
    void ConnectCommands();

    // Accelerators, Escape and Enter, before the focused control sees them.
    bool PreTranslateMessage(QObject* target, QEvent* event);
    bool HandleEnter(QObject* target);
    void OnSize();

    void EnableFileCommands(bool enable);
    void EnableControl(int id, bool enable);
    void ShowMessage(const QString& text, MessageIcon icon);
    bool ConfirmClose();
    QString UnwrittenDescriptions() const;
    void UseDescFile(const QString& path);
    void RequestExit(int exitCode);

    // The panes.
    NodeId SelectedNode() const;
    void ShowSelectedItem();
    void ClearPanes();
    void SetField(int id, const QString& text);
    // Text the program puts into the description box, which is no user edit.
    void SetDescText(const QString& text);
    void EnableDataButtons(bool enable);

    // Find.
    void SearchFromSelection();
    NodeId FindInSubtree(const QString& text, NodeId node);
    void SelectFoundNode(NodeId node);
    // What '*' does in the tree: open every node below the current one,
    // but no deeper than the view can lay out.
    void ExpandAllBelow(const QModelIndex& index);

    IUserPrompts& m_prompts;
    QIcon m_hIcon;
    QRect m_rcInitial;
    CControlLayout m_layout;
    QMenuBar* m_pMenuBar = nullptr;
    QWidget* m_pClient = nullptr;
    CStatusBar* m_statusBar = nullptr;
    std::array<int, 3> m_nStatusParts{};
    QPointer<CMyFindDlg> m_pFindDlg;
    QTreeView* m_pTreeCtrl = nullptr;
    CDataEdit* m_pDataEdit = nullptr;
    CMobDocument m_doc;
    std::unique_ptr<CChunkTreeModel> m_pTreeModel;
    CAcceleratorTable m_hAccel;
    QString m_strFind;
    bool m_bSkipCurrent = false;
    bool m_bInitialized = false;
    int m_nLoadedFiles = 0;
    QString m_strDescFileName = QStringLiteral("mob_desc.txt");
    QString m_strLastPath;
    QPlainTextEdit* m_descEdit = nullptr;
    std::map<int, QAction*> m_menuItems;
    const CCodePage* m_pCodePage;
    bool m_bFillingDesc = false;
    CCipherTraceLog m_cipherTrace;
    int m_nExitCode = 0;
};

} // namespace qm
