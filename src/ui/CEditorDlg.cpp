#include "ui/CEditorDlg.h"

#include "desc/DataType.h"
#include "desc/IdKey.h"
#include "edit/CChunkMove.h"
#include "edit/DocumentNodes.h"
#include "inspect/CTypeGuesser.h"
#include "mob/CTreeSearch.h"
#include "platform/FileSystem.h"
#include "ui/BuildTitle.h"
#include "ui/CAboutDlg.h"
#include "ui/CArtwork.h"
#include "ui/CChunkTreeModel.h"
#include "ui/CCodePage.h"
#include "ui/CDataEdit.h"
#include "ui/CDataViewPane.h"
#include "ui/CGuessTypesDlg.h"
#include "ui/CHexView.h"
#include "ui/CIdKeyDelegate.h"
#include "ui/CInsertChunkDlg.h"
#include "ui/CLongWorkProgress.h"
#include "ui/COptionsDlg.h"
#include "ui/CPaneContents.h"
#include "ui/CStatusBar.h"
#include "ui/ChunkClipboard.h"
#include "ui/ControlId.h"
#include "ui/EditorCommands.h"
#include "ui/EditorIds.h"
#include "ui/FileNameText.h"
#include "ui/PaneText.h"
#include "ui/TreeReveal.h"
#include "unpack/CPackReader.h"
#include "unpack/CUnpackWriter.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTreeView>

#include <algorithm>

namespace qm {

namespace {

const QString kMobFilter = QStringLiteral("Emberfold MOB Files (*.mob);;All Files (*)");
const QString kOpenFilter =
    QStringLiteral("Emberfold MOB Files (*.mob);;Unpacked documents (*.json);;All Files (*)");
const QString kJsonFilter = QStringLiteral("Unpacked documents (*.json);;All Files (*)");

bool IsUnpackedDocument(const QString& path)
{
    return path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
}
const QString kUnsavedFile = QStringLiteral("The loaded file has changes that were not saved.\n");

QString FromLocal(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

// The text as the box holds it, with the line breaks that tell CR LF, CR
// and LF apart (see PaneText.h).
QString RawText(const QPlainTextEdit& box)
{
    return box.document()->toRawText();
}

// Shows the busy cursor while a file is read.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

} // namespace

CEditorDlg::CEditorDlg(IUserPrompts& prompts, QWidget* parent)
    : QDialog(parent),
      m_prompts(prompts),
      m_ui(SetupUi(*this, EditorCommands(), kDataEditLimit)),
      m_hIcon(CArtwork::ProgramIcon()),
      m_pTreeCtrl(m_ui.tree),
      m_pDataEdit(m_ui.dataEdit),
      m_pDataView(new CDataViewPane(m_ui.client)),
      m_pTreeModel(std::make_unique<CChunkTreeModel>(m_doc.Tree())),
      m_descEdit(m_ui.descEdit),
      m_pCodePage(&CCodePage::Get(CCodePage::kDefault))
{
    BuildTitle();
    BindCommands(*this, m_ui, m_hAccel);
    m_pTreeModel->SetImageList(CArtwork::NodeImageList());
    m_pTreeCtrl->setModel(m_pTreeModel.get());
    // Every change of structure, undo and redo included, reaches the view
    // as rows inserted, removed or moved.
    m_doc.Tree().SetListener(m_pTreeModel.get());
    m_pTreeCtrl->setItemDelegate(new CIdKeyDelegate(m_doc, m_pTreeCtrl));
    connect(m_pTreeCtrl->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CEditorDlg::OnTreeSelChanged);
    connect(m_pTreeCtrl, &QWidget::customContextMenuRequested, this, &CEditorDlg::OnTreeRightClick);
    connect(m_descEdit, &QPlainTextEdit::textChanged, this, &CEditorDlg::OnDescChanged);
    connect(m_pDataEdit, &QPlainTextEdit::textChanged, this, &CEditorDlg::OnDataChanged);
    SetControlId(m_pDataView, ids::kDataView);
    m_pDataView->setGeometry(m_pDataEdit->geometry());
    m_pDataView->hide();
    connect(m_pDataView, &CDataViewPane::UseTypeRequested, this, &CEditorDlg::OnUseType);
    connect(m_pDataView, &CDataViewPane::SelectionShown, this, [this](const QString& text) {
        if (m_statusBar)
            m_statusBar->SetText(0, text.isEmpty() ? QStringLiteral("Ready") : text);
    });
    OnSize();
    // The window sees every key first, as accelerators need.
    qApp->installEventFilter(this);
}

CEditorDlg::~CEditorDlg()
{
    qApp->removeEventFilter(this);
    m_doc.Tree().SetListener(nullptr);
    // The view must let go of the model before the model goes.
    m_pTreeCtrl->setModel(nullptr);
}

bool CEditorDlg::OnInitDialog()
{
    setWindowIcon(m_hIcon);

    m_bInitialized = true;
    m_rcInitial = geometry();
    setMinimumSize(OnGetMinMaxInfo());

    m_layout.Attach(m_ui.client);
    m_layout.AddControl(ids::kTreeGroup, LAYOUT_SIZE_Y);
    m_layout.AddControl(ids::kTree, LAYOUT_SIZE_Y);
    m_layout.AddControl(ids::kDescGroup, LAYOUT_SIZE_X);
    m_layout.AddControl(ids::kDescEdit, LAYOUT_SIZE_X);
    m_layout.AddControl(ids::kDataGroup, LAYOUT_SIZE_X | LAYOUT_SIZE_Y);
    m_layout.AddControl(ids::kDataEdit, LAYOUT_SIZE_X | LAYOUT_SIZE_Y);
    m_layout.AddControl(ids::kDataView, LAYOUT_SIZE_X | LAYOUT_SIZE_Y);

    m_doc.SetDescFile(FileNameToBytes(m_strDescFileName));
    if (!m_session.ReadDescFile()) {
        ShowMessage(FromLocal(m_doc.GetError()), MessageIcon::Stop);
        RequestExit(1);
    }

    for (const int id : {ids::kCmdSave, ids::kCmdUnload, ids::kCmdUnpack, ids::kCmdUnpack2Access,
                         ids::kCmdUnpack2DB})
        MenuItem(id)->setEnabled(false);
    for (const int id : {ids::kUnpack, ids::kDescApply, ids::kEdit, ids::kView, ids::kUndoChanges,
                         ids::kApplyChanges, ids::kSave, ids::kUnload})
        EnableControl(id, false);
    ShowEditState();

    // The outer width counts the frame, which the platform knows only once
    // the window exists.
    winId();
    m_statusBar = SetupStatusBar(m_ui.client, frameGeometry().width(), m_hIcon, m_nStatusParts);
    OnSize();
    m_pFindDlg = nullptr;

    if (QWidget* first = Control(ids::kLoad))
        first->setFocus();
    return !ExitRequested();
}

// ---------------------------------------------------------------------------
// File commands

void CEditorDlg::OnLoad()
{
    const FileDialogRequest request{QStringLiteral("Open MOB file(s)"), kOpenFilter, QStringLiteral("mob"), {}};
    LoadFiles(m_prompts.GetOpenFileNames(this, request));
}

void CEditorDlg::LoadFiles(const QStringList& paths)
{
    // A cancelled dialog changes nothing, not even the path Save proposes.
    if (paths.isEmpty())
        return;
    // With a second file loaded, Save refuses to run, and the edits would
    // be stranded.
    const QString question = kUnsavedFile + QStringLiteral("Save can write only one loaded file.\n\nOpen anyway?");
    if (m_nLoadedFiles > 0 && m_session.HasUnsavedData() && !m_prompts.AskYesNo(this, question))
        return;
    QString lastLoaded;
    for (const QString& path : paths) {
        m_pTreeCtrl->setEnabled(false);
        const bool loaded = LoadOneFile(path);
        m_pTreeModel->SyncRoots();
        m_bGuessesStale = true;
        if (loaded) {
            ++m_nLoadedFiles;
            // Save writes a MOB file: it proposes one beside the document,
            // never the document itself.
            const QString savePath = IsUnpackedDocument(path) ? path.chopped(5) + QStringLiteral(".mob") : path;
            lastLoaded = savePath;
            const int files = m_pTreeModel->rowCount();
            m_filePaths[CChunkTreeModel::NodeFromIndex(m_pTreeModel->index(files - 1, 0))] = savePath;
        }
        m_pTreeCtrl->setEnabled(true);
    }
    if (m_nLoadedFiles <= 0)
        return;
    // Save proposes a file that loaded: proposing one that failed would
    // invite writing the tree over it.
    if (!lastLoaded.isEmpty())
        m_strLastPath = lastLoaded;
    EnableFileCommands(true);
}

bool CEditorDlg::LoadOneFile(const QString& path)
{
    const CWaitCursor busy;
    CLongWorkProgress progress(this, m_doc, QStringLiteral("Loading %1").arg(FileNameForDisplay(path)));
    if (!IsUnpackedDocument(path)) {
        if (m_doc.LoadMobFile(FileNameToBytes(path)))
            return true;
        ShowMessage(QStringLiteral("Load error!\n\n") + FromLocal(m_doc.GetIoError()), MessageIcon::Stop);
        return false;
    }
    std::string error;
    const auto report = [&progress](std::uint64_t done, std::uint64_t total) { return progress.Report(done, total); };
    if (PackIntoDocument(m_doc, FileNameToBytes(path), report, error))
        return true;
    ShowMessage(QStringLiteral("Load error!\n\n") + FromLocal(error), MessageIcon::Stop);
    return false;
}

void CEditorDlg::OnSave()
{
    // Only the button is disabled here; the menu item and Ctrl+S keep
    // reaching this check.
    if (m_nLoadedFiles == 0) {
        ShowMessage(QStringLiteral("Nothing to save!"), MessageIcon::Stop);
        EnableControl(ids::kSave, false);
        return;
    }
    if (m_nLoadedFiles >= 2) {
        ShowMessage(QStringLiteral("Can't save more than one file!"), MessageIcon::Stop);
        EnableControl(ids::kSave, false);
        return;
    }
    const FileDialogRequest request{QStringLiteral("Save MOB file(s)"), kMobFilter, QStringLiteral("mob"),
                                    m_strLastPath};
    const QString path = m_prompts.GetSaveFileName(this, request);
    if (path.isEmpty())
        return;
    if (SaveWith(path, [this](const std::string& file) { return m_session.SaveMobFile(file); }))
        m_strLastPath = path;
}

bool CEditorDlg::SaveWith(const QString& path, const std::function<bool(const std::string&)>& save)
{
    bool saved = false;
    {
        const CWaitCursor busy;
        const CLongWorkProgress progress(this, m_doc, QStringLiteral("Saving %1").arg(FileNameForDisplay(path)));
        saved = save(FileNameToBytes(path));
    }
    if (!saved) {
        ShowMessage(QStringLiteral("Save error!\n\n") + FromLocal(m_doc.GetIoError()), MessageIcon::Stop);
        return false;
    }
    ShowEditState();
    QString message = QStringLiteral("Saved file: ") + FileNameForDisplay(path);
    if (!m_doc.GetIoNotice().empty())
        message += QStringLiteral("\n\n") + FromLocal(m_doc.GetIoNotice());
    ShowMessage(message, MessageIcon::None);
    return true;
}

void CEditorDlg::OnUnload()
{
    if (m_nLoadedFiles <= 0) {
        ShowMessage(QStringLiteral("Nothing to unload!"), MessageIcon::Stop);
        return;
    }
    if (m_session.HasUnsavedData() &&
        !m_prompts.AskYesNo(this, kUnsavedFile + QStringLiteral("Unloading loses them.\n\nUnload anyway?")))
        return;
    m_pTreeCtrl->setEnabled(false);
    m_pTreeModel->Reset([this] { m_session.UnloadAll(); });
    m_pTreeCtrl->setEnabled(true);
    m_nLoadedFiles = 0;
    m_filePaths.clear();
    EnableFileCommands(false);
    // Resetting the model drops the selection without a word; the panes
    // must not go on showing a chunk that is gone.
    ShowSelectedItem();
    ShowEditState();
}

NodeId CEditorDlg::FileToUnpack() const
{
    const CChunkTree& tree = m_doc.Tree();
    NodeId node = SelectedNode();
    if (node == kNoNode)
        return m_nLoadedFiles == 1 ? tree.GetRootItem() : kNoNode;
    while (tree.GetParentItem(node) != kNoNode)
        node = tree.GetParentItem(node);
    return node;
}

void CEditorDlg::OnUnpack()
{
    if (m_nLoadedFiles <= 0) {
        ShowMessage(QStringLiteral("Nothing to unpack!"), MessageIcon::Stop);
        return;
    }
    const NodeId file = FileToUnpack();
    if (file == kNoNode) {
        ShowMessage(QStringLiteral("Select a node of the file to unpack."), MessageIcon::Stop);
        return;
    }
    const std::string source(m_doc.Tree().GetItemText(file));
    QString proposed = FromLocal(source);
    if (const qsizetype dot = proposed.lastIndexOf(QLatin1Char('.')); dot > proposed.lastIndexOf(QLatin1Char('/')))
        proposed.truncate(dot);
    const FileDialogRequest request{QStringLiteral("Unpack to"), kJsonFilter, QStringLiteral("json"),
                                    proposed + QStringLiteral(".json")};
    const QString path = m_prompts.GetSaveFileName(this, request);
    if (path.isEmpty())
        return;
    CUnpackWriter writer(m_doc);
    bool written = false;
    {
        const CWaitCursor busy;
        CLongWorkProgress progress(this, m_doc, QStringLiteral("Unpacking to %1").arg(FileNameForDisplay(path)));
        const auto report = [&progress](std::uint64_t done, std::uint64_t total) {
            return progress.Report(done, total);
        };
        written = writer.WriteFile(file, source, FileNameToBytes(path), report);
    }
    if (!written) {
        ShowMessage(QStringLiteral("Unpack error!\n\n") + FromLocal(writer.GetError()), MessageIcon::Stop);
        return;
    }
    ShowMessage(QStringLiteral("Unpacked to: ") + FileNameForDisplay(path), MessageIcon::None);
}

void CEditorDlg::OnExit()
{
    accept();
}

// ---------------------------------------------------------------------------
// Undo and redo

void CEditorDlg::OnEditUndo()
{
    ShowStep(m_session.Undo());
}

void CEditorDlg::OnEditRedo()
{
    ShowStep(m_session.Redo());
}

void CEditorDlg::ShowStep(const IEditOperation* step)
{
    // The keys reach here with nothing to undo or redo too.
    if (!step)
        return;
    if (step->ChangesDescriptions())
        m_pTreeModel->NodesChanged();
    ShowChangedNode(step->Node());
    ShowEditState();
}

void CEditorDlg::ShowChangedNode(NodeId node)
{
    // Selecting another node shows it; the selected one is shown again,
    // since its size or offset may have changed.
    if (node != kNoNode && node != SelectedNode())
        RevealNode(*m_pTreeCtrl, *m_pTreeModel, node);
    else
        ShowSelectedItem();
}

void CEditorDlg::ShowEditState()
{
    const auto showStep = [this](int id, const std::string& step) {
        // "&Undo Apply to GOLD": the whole text is the item's name, and an
        // ampersand in a chunk's name is no mnemonic.
        const QString name = CodePage().Decode(step).replace(QLatin1Char('&'), QLatin1String("&&"));
        MenuItem(id)->setText(CommandText(id, step.empty() ? QString() : QLatin1Char('&') + name));
        MenuItem(id)->setEnabled(!step.empty());
    };
    showStep(ids::kCmdUndo, m_session.UndoText());
    showStep(ids::kCmdRedo, m_session.RedoText());
    // Every change ends here, and any change may change the guesses.
    m_bGuessesStale = true;
    const bool unwritten = m_session.HasUnwrittenDescriptions();
    EnableControl(ids::kDescApply, unwritten);
    setWindowModified(unwritten || m_session.HasUnsavedData());
}

// ---------------------------------------------------------------------------
// Closing

bool CEditorDlg::ConfirmClose()
{
    const bool unsavedData = m_session.HasUnsavedData();
    const bool unwritten = m_session.HasUnwrittenDescriptions();
    if (!unsavedData && !unwritten)
        return true;
    QString text;
    if (unsavedData)
        text += kUnsavedFile;
    if (unwritten)
        text += UnwrittenDescriptions();
    text += QStringLiteral("\nClose anyway?");
    return m_prompts.AskYesNo(this, text);
}

void CEditorDlg::done(int result)
{
    if (!ExitRequested() && !ConfirmClose())
        return;
    QDialog::done(result);
}

void CEditorDlg::RequestExit(int exitCode)
{
    m_nExitCode = exitCode;
    if (isVisible())
        QMetaObject::invokeMethod(this, [this] { QDialog::done(Rejected); }, Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------
// Other commands

void CEditorDlg::OnAbout()
{
    CAboutDlg about(this);
    m_prompts.RunModal(about);
}

void CEditorDlg::OnOptions()
{
    COptionsDlg options(m_prompts, DescFile(), CodePage().Number(), this);
    m_prompts.RunModal(options);
    if (options.result() != QDialog::Accepted)
        return;
    SetCodePage(options.GetCodePage());
    if (options.GetDescFile() != DescFile())
        UseDescFile(options.GetDescFile());
}

void CEditorDlg::SetCodePage(int number)
{
    const CCodePage& page = CCodePage::Get(number);
    if (&page == m_pCodePage)
        return;
    m_pCodePage = &page;
    m_pTreeModel->SetCodePage(page);
    m_pDataView->SetCodePage(page);
    // Before the first selection the panes are as the window started, and
    // showing "nothing selected" would make the data editor read-only.
    if (SelectedNode() != kNoNode)
        ShowSelectedItem();
    ShowEditState();
    emit CodePageChanged(page.Number());
}

QString CEditorDlg::DescFile() const
{
    return FileNameFromBytes(m_doc.GetDescPath());
}

QString CEditorDlg::UnwrittenDescriptions() const
{
    return QStringLiteral("Description changes were not written to %1.\n").arg(FileNameForDisplay(DescFile()));
}

void CEditorDlg::UseDescFile(const QString& path)
{
    if (m_session.HasUnwrittenDescriptions() &&
        !m_prompts.AskYesNo(this, UnwrittenDescriptions() + QStringLiteral("\nUse the other file anyway?")))
        return;
    if (!m_session.SwitchDescFile(FileNameToBytes(path))) {
        ShowMessage(FromLocal(m_doc.GetError()), MessageIcon::Stop);
        return;
    }
    if (SelectedNode() != kNoNode)
        ShowSelectedItem();
    ShowEditState();
    emit DescFileChanged(DescFile());
}

void CEditorDlg::EnableControl(int id, bool enable)
{
    if (QWidget* control = Control(id))
        control->setEnabled(enable);
}

void CEditorDlg::EnableFileCommands(bool enable)
{
    EnableControl(ids::kSave, enable);
    EnableControl(ids::kUnload, enable);
    EnableControl(ids::kUnpack, enable);
    MenuItem(ids::kCmdSave)->setEnabled(enable);
    MenuItem(ids::kCmdUnload)->setEnabled(enable);
    MenuItem(ids::kCmdUnpack)->setEnabled(enable);
}

void CEditorDlg::ShowMessage(const QString& text, MessageIcon icon)
{
    m_prompts.ShowMessage(this, text, icon);
}

// ---------------------------------------------------------------------------
// Keyboard

bool CEditorDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (PreTranslateMessage(watched, event))
        return true;
    // Leaving the description box ends the step its keystrokes make.
    if (watched == m_descEdit && event->type() == QEvent::FocusOut)
        m_session.EndStep();
    // The view's own '*' calls itself once per level and overflows its stack
    // on a file nested tens of thousands deep.
    if (watched == m_pTreeCtrl && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Asterisk) {
        ExpandAllBelow(*m_pTreeCtrl, *m_pTreeModel, m_pTreeCtrl->currentIndex());
        return true;
    }
    // The keyboard's menu key, or Shift+F10, opens the menu below the
    // selected node rather than wherever the platform puts it.
    if (watched == m_pTreeCtrl && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
            (key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
            const QRect row = m_pTreeCtrl->visualRect(m_pTreeCtrl->currentIndex());
            ShowTreeMenu(SelectedNode(), m_pTreeCtrl->viewport()->mapToGlobal(row.bottomLeft()));
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool CEditorDlg::PreTranslateMessage(QObject* target, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return false;
    const auto* widget = qobject_cast<QWidget*>(target);
    if (!widget || widget->window() != this)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (m_hAccel.Dispatch(target, *key))
        return true;
    if (type != QEvent::KeyPress || qobject_cast<const QMenuBar*>(widget))
        return false;

    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if (modifiers != Qt::NoModifier)
        return false;
    if (key->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        return HandleEnter(target);
    return false;
}

bool CEditorDlg::HandleEnter(QObject* target)
{
    // The data editor takes Enter as a line break. A read-only one ignores
    // the key, which then travels on to the window as an accept: it must
    // stop here instead.
    if (target == m_pDataEdit || target == m_pDataEdit->viewport())
        return m_pDataEdit->isReadOnly();
    // Nor may it close the window from the hex view or the inspector.
    if (m_pDataView->isAncestorOf(static_cast<QWidget*>(target)))
        return true;
    // The description box takes no line breaks, and closing the window from
    // it in the middle of typing would surprise.
    if (target == m_descEdit || target == m_descEdit->viewport())
        return true;
    if (auto* button = qobject_cast<QAbstractButton*>(target)) {
        if (button->isEnabled())
            button->click();
        return true;
    }
    // The window has no default button: Enter anywhere else is the accept
    // command, which closes it.
    accept();
    return true;
}

// ---------------------------------------------------------------------------
// Size

void CEditorDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    OnSize();
}

void CEditorDlg::OnSize()
{
    // A menu bar that the desktop shows elsewhere takes no room here.
    QMenuBar* menuBar = m_ui.menuBar;
    int menuHeight = 0;
    if (!menuBar->isNativeMenuBar()) {
        menuHeight = menuBar->heightForWidth(width());
        if (menuHeight <= 0)
            menuHeight = menuBar->sizeHint().height();
    }
    menuBar->setGeometry(0, 0, width(), menuHeight);
    QWidget* client = m_ui.client;
    client->setGeometry(0, menuHeight, width(), height() - menuHeight);

    m_layout.Reposition();

    if (!m_statusBar)
        return;
    const int statusHeight = m_statusBar->height();
    m_statusBar->setGeometry(0, client->height() - statusHeight, client->width(), statusHeight);
}

QSize CEditorDlg::OnGetMinMaxInfo() const
{
    return m_bInitialized ? m_rcInitial.size() : QSize();
}

// ---------------------------------------------------------------------------
// The panes

NodeId CEditorDlg::SelectedNode() const
{
    const QModelIndexList selected = m_pTreeCtrl->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? kNoNode : CChunkTreeModel::NodeFromIndex(selected.front());
}

void CEditorDlg::SetField(int id, const QString& text)
{
    static_cast<QLineEdit*>(Control(id))->setText(text);
}

void CEditorDlg::SetDescText(const QString& text)
{
    m_bFillingDesc = true;
    m_descEdit->setPlainText(text);
    m_bFillingDesc = false;
}

void CEditorDlg::EnableDataButtons(bool enable)
{
    EnableControl(ids::kApplyChanges, enable);
    EnableControl(ids::kUndoChanges, enable);
}

void CEditorDlg::ShowSelectedItem()
{
    const NodeId node = SelectedNode();
    if (m_doc.Chunks().GetCount() == 0 || node == kNoNode) {
        ClearPanes();
        return;
    }
    const CPaneContents pane = CPaneContents::ForNode(m_doc, node);
    const CCodePage& codePage = CodePage();
    SetDescText(ToPaneText(codePage, pane.m_strDescription));
    SetField(ids::kTypeField, codePage.Decode(pane.m_strTypeName));
    SetField(ids::kTypeIdField, QString::fromLatin1(pane.m_strTypeId));
    m_pDataEdit->setPlainText(ToPaneText(codePage, pane.m_strData));
    SetField(ids::kSizeField, QString::number(pane.m_nSize));
    SetField(ids::kOffsetField, QString::fromLatin1(pane.m_strOffset));
    EnableControl(ids::kEdit, pane.m_bWritable);
    m_pDataEdit->setReadOnly(!pane.m_bWritable);
    // A file node has no payload; a chunk has one, if only of 0 bytes.
    EnableControl(ids::kView, m_doc.Tree().GetParentItem(node) != kNoNode);
    ShowDataView(node);
    // Last: putting the text in may have counted as a change.
    EnableDataButtons(false);
}

void CEditorDlg::ClearPanes()
{
    for (const int id : {ids::kTypeField, ids::kTypeIdField})
        SetField(id, QString());
    m_pDataEdit->clear();
    for (const int id : {ids::kSizeField, ids::kOffsetField})
        SetField(id, QString());
    SetDescText(QString());
    EnableControl(ids::kEdit, false);
    EnableControl(ids::kView, false);
    m_pDataEdit->setReadOnly(true);
    ShowDataView(kNoNode);
    EnableDataButtons(false);
}

void CEditorDlg::OnTreeSelChanged()
{
    // Keystrokes in the description of another chunk are another step.
    m_session.EndStep();
    ShowSelectedItem();
}

void CEditorDlg::OnTreeRightClick(const QPoint& position)
{
    // The menu acts on the node clicked, which becomes the selected one.
    const QModelIndex clicked = m_pTreeCtrl->indexAt(position);
    if (!clicked.isValid())
        return;
    m_pTreeCtrl->setCurrentIndex(clicked);
    ShowTreeMenu(SelectedNode(), m_pTreeCtrl->viewport()->mapToGlobal(position));
}

void CEditorDlg::ShowTreeMenu(NodeId node, const QPoint& globalPosition)
{
    if (node == kNoNode)
        return;
    const bool fileNode = m_doc.Tree().GetParentItem(node) == kNoNode;
    for (const EditorCommand& command : EditorCommands()) {
        if (command.fileNodeOnly)
            MenuItem(command.id)->setVisible(fileNode);
    }
    m_ui.treeMenu->popup(globalPosition);
}

void CEditorDlg::OnDataChanged()
{
    EnableDataButtons(true);
}

void CEditorDlg::OnApplyChanges()
{
    const NodeId node = SelectedNode();
    if (node == kNoNode)
        return;
    const EditResult result = m_session.ApplyText(node, FromPaneText(CodePage(), RawText(*m_pDataEdit)));
    if (result.Refused())
        ShowMessage(FromLocal(result.error), MessageIcon::Stop);
    ShowSelectedItem();
    ShowEditState();
}

void CEditorDlg::OnUndoChanges()
{
    ShowSelectedItem();
}

void CEditorDlg::OnDescChanged()
{
    if (m_bFillingDesc)
        return;
    const std::string idText = static_cast<QLineEdit*>(Control(ids::kTypeIdField))->text().toStdString();
    const EditResult result =
        m_session.SetDescription(idText, FromPaneText(CodePage(), RawText(*m_descEdit)), SelectedNode());
    if (result.Refused()) {
        ShowMessage(FromLocal(result.error), MessageIcon::Stop);
        SetDescText(QString());
    }
    ShowEditState();
}

void CEditorDlg::OnDescApply()
{
    if (!m_session.WriteDescFile())
        ShowMessage(FromLocal(m_doc.GetError()), MessageIcon::Stop);
    ShowEditState();
}

void CEditorDlg::OnDescReload()
{
    // A failed read keeps the program running: ending it would throw away
    // every unsaved edit of the loaded files. The table keeps whatever the
    // read put into it before it failed, and the panes show that.
    if (!m_session.ReadDescFile())
        ShowMessage(FromLocal(m_doc.GetError()), MessageIcon::Stop);
    ShowSelectedItem();
    ShowEditState();
}

// ---------------------------------------------------------------------------
// Structure

void CEditorDlg::DoStructureEdit(PreparedEdit edit)
{
    const EditResult result = m_session.Do(std::move(edit));
    if (result.Refused())
        ShowMessage(FromLocal(result.error), MessageIcon::Stop);
    else if (result.status == EditResult::Status::Done)
        ShowChangedNode(result.node);
    ShowEditState();
}

void CEditorDlg::OnInsertChunk()
{
    const NodeId node = SelectedNode();
    if (node == kNoNode)
        return;
    std::vector<CInsertChunkDlg::Choice> choices;
    for (const auto& [key, entry] : m_doc.SortedEntries()) {
        const QString name = CodePage().Decode(entry->m_strName);
        choices.emplace_back(QStringLiteral("%1 (0x%2)").arg(name, QLatin1String(key)), *IdOfKey(key));
    }
    std::ranges::sort(choices, [](const auto& a, const auto& b) {
        return QString::localeAwareCompare(a.first, b.first) < 0;
    });
    CInsertChunkDlg dialog(choices, this);
    m_prompts.RunModal(dialog);
    if (dialog.result() != QDialog::Accepted)
        return;
    const std::optional<std::uint32_t> id = dialog.GetId();
    if (!id) {
        ShowMessage(QStringLiteral("\"%1\" is not a chunk type: pick a described name, or type the id as up to 8 "
                                   "hexadecimal digits.")
                        .arg(dialog.GetText()),
                    MessageIcon::Stop);
        return;
    }
    const ChunkPlace place = PlaceForNewChunks(m_doc, node);
    DoStructureEdit(CChunkMove::ForInsert(m_doc, place.parent, place.index, *id, {}));
}

void CEditorDlg::OnDeleteChunk()
{
    if (const NodeId node = SelectedNode(); node != kNoNode)
        DoStructureEdit(CChunkMove::ForDelete(m_doc, node));
}

void CEditorDlg::OnDuplicateChunk()
{
    if (const NodeId node = SelectedNode(); node != kNoNode)
        DoStructureEdit(CChunkMove::ForDuplicate(m_doc, node));
}

void CEditorDlg::OnMoveChunkUp()
{
    MoveSelectedChunk(-1);
}

void CEditorDlg::OnMoveChunkDown()
{
    MoveSelectedChunk(+1);
}

void CEditorDlg::MoveSelectedChunk(int step)
{
    const NodeId node = SelectedNode();
    if (node == kNoNode)
        return;
    const CChunkTree& tree = m_doc.Tree();
    const NodeId parent = tree.GetParentItem(node);
    if (parent == kNoNode) {
        DoStructureEdit(CChunkMove::ForMove(m_doc, node, parent, 0));
        return;
    }
    const std::size_t index = tree.GetIndexOf(node);
    const bool up = step < 0;
    if (up ? index == 0 : tree.GetNextSiblingItem(node) == kNoNode) {
        const QString where = up ? QStringLiteral("first") : QStringLiteral("last");
        ShowMessage(QStringLiteral("%1 is the %2 chunk of its list already.")
                        .arg(CodePage().Decode(NodeName(m_doc, node)), where),
                    MessageIcon::Stop);
        return;
    }
    DoStructureEdit(CChunkMove::ForMove(m_doc, node, parent, up ? index - 1 : index + 1));
}

std::optional<std::vector<std::uint8_t>> CEditorDlg::SavedBytes(NodeId node)
{
    std::vector<std::uint8_t> bytes;
    if (!m_doc.WriteChunk(node, bytes)) {
        ShowMessage(FromLocal(m_doc.GetIoError()), MessageIcon::Stop);
        return std::nullopt;
    }
    return bytes;
}

void CEditorDlg::OnCutChunk()
{
    const NodeId node = SelectedNode();
    if (node == kNoNode)
        return;
    // Refused, the cut leaves the clipboard as it was too.
    PreparedEdit edit = CChunkMove::ForDelete(m_doc, node);
    if (edit.Refused()) {
        DoStructureEdit(std::move(edit));
        return;
    }
    const std::optional<std::vector<std::uint8_t>> bytes = SavedBytes(node);
    if (!bytes)
        return;
    QGuiApplication::clipboard()->setMimeData(ChunksToMimeData(*bytes).release());
    DoStructureEdit(std::move(edit));
}

void CEditorDlg::OnCopyChunk()
{
    const NodeId node = SelectedNode();
    if (node == kNoNode)
        return;
    if (const std::optional<std::vector<std::uint8_t>> bytes = SavedBytes(node))
        QGuiApplication::clipboard()->setMimeData(ChunksToMimeData(*bytes).release());
}

void CEditorDlg::OnPasteChunks()
{
    const NodeId node = SelectedNode();
    if (node == kNoNode)
        return;
    const std::optional<std::vector<std::uint8_t>> bytes = ChunksFromMimeData(QGuiApplication::clipboard()->mimeData());
    if (!bytes) {
        ShowMessage(QStringLiteral("The clipboard holds no chunks."), MessageIcon::Stop);
        return;
    }
    PasteBytes(node, *bytes);
}

void CEditorDlg::PasteBytes(NodeId node, std::span<const std::uint8_t> bytes)
{
    const ChunkPlace place = PlaceForNewChunks(m_doc, node);
    DoStructureEdit(CChunkMove::ForImport(m_doc, place.parent, place.index, bytes));
}

void CEditorDlg::OnExportChunk()
{
    const NodeId node = SelectedNode();
    if (node == kNoNode)
        return;
    const std::optional<std::vector<std::uint8_t>> bytes = SavedBytes(node);
    if (!bytes)
        return;
    // The bytes of a chunk list are a MOB file, which Import and Open read.
    const FileDialogRequest request{QStringLiteral("Export chunk"), kMobFilter, QStringLiteral("mob"), {}};
    const QString path = m_prompts.GetSaveFileName(this, request);
    if (path.isEmpty())
        return;
    std::string error;
    if (!platform::WriteFileSafely(FileNameToBytes(path), bytes->data(), bytes->size(), error))
        ShowMessage(QStringLiteral("Export error!\n\n") + FromLocal(error), MessageIcon::Stop);
}

void CEditorDlg::OnImportChunks()
{
    const NodeId node = SelectedNode();
    if (node == kNoNode)
        return;
    FileDialogRequest request{QStringLiteral("Import chunks"), kMobFilter, QStringLiteral("mob"), {}};
    request.oneFile = true;
    const QStringList paths = m_prompts.GetOpenFileNames(this, request);
    if (paths.isEmpty())
        return;
    std::string bytes;
    std::string error;
    if (!platform::ReadWholeFile(FileNameToBytes(paths.front()), bytes, error, CMobDocument::kLargestFile)) {
        ShowMessage(QStringLiteral("Import error!\n\n") + FromLocal(error), MessageIcon::Stop);
        return;
    }
    PasteBytes(node, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

void CEditorDlg::OnSaveThisFile()
{
    const NodeId node = SelectedNode();
    const auto path = m_filePaths.find(node);
    if (path == m_filePaths.end())
        return;
    SaveWith(path->second, [this, node](const std::string& file) { return m_session.SaveFile(node, file); });
}

void CEditorDlg::OnSaveThisFileAs()
{
    const NodeId node = SelectedNode();
    const auto loaded = m_filePaths.find(node);
    if (loaded == m_filePaths.end())
        return;
    const FileDialogRequest request{QStringLiteral("Save this file as"), kMobFilter, QStringLiteral("mob"),
                                    loaded->second};
    const QString path = m_prompts.GetSaveFileName(this, request);
    if (path.isEmpty())
        return;
    SaveWith(path, [this, node](const std::string& file) { return m_session.SaveFile(node, file); });
}

// The hex view and the inspector

void CEditorDlg::OnView()
{
    SetViewMode(true);
    m_pDataView->HexView()->setFocus();
}

void CEditorDlg::OnEdit()
{
    SetViewMode(false);
    m_pDataEdit->setFocus();
}

void CEditorDlg::SetViewMode(bool view)
{
    if (view == m_bViewMode)
        return;
    m_bViewMode = view;
    m_nViewedNode = kNoNode;
    m_pDataView->setGeometry(m_pDataEdit->geometry());
    m_pDataView->setVisible(view);
    m_pDataEdit->setVisible(!view);
    if (!view && m_statusBar)
        m_statusBar->SetText(0, QStringLiteral("Ready"));
    ShowDataView(SelectedNode());
}

void CEditorDlg::ShowDataView(NodeId node)
{
    if (!m_bViewMode)
        return;
    const CMobChunk* rec = node == kNoNode || m_doc.Tree().GetParentItem(node) == kNoNode
                               ? nullptr
                               : m_doc.Chunks().Lookup(m_doc.Tree().GetItemData(node));
    if (!rec) {
        m_nViewedNode = kNoNode;
        m_pDataView->ShowNothing();
        return;
    }
    // The same chunk shown again after a change keeps its place.
    const bool same = node == m_nViewedNode;
    const CHexSelection kept = m_pDataView->HexView()->Selection();
    const bool described = m_doc.LookupDesc(IdKey(rec->m_nId)) != nullptr;
    m_pDataView->ShowChunk(CPayloadBytes::Of(m_doc, node), rec->m_nDataType,
                           described ? QString() : GuessText(rec->m_nId));
    m_nViewedNode = node;
    if (same && kept.Size() == m_pDataView->HexView()->Bytes().size()) {
        m_pDataView->HexView()->MoveCursor(kept.Start(), false);
        if (kept.Length() != 0)
            m_pDataView->HexView()->MoveCursor(kept.Start() + kept.Length() - 1, true);
    }
}

const std::vector<TypeGuess>& CEditorDlg::Guesses()
{
    if (m_bGuessesStale) {
        m_guesses = CTypeGuesser::GuessAll(m_doc);
        m_bGuessesStale = false;
    }
    return m_guesses;
}

QString CEditorDlg::GuessText(std::uint32_t id)
{
    const TypeGuess* guess = CTypeGuesser::Find(Guesses(), id);
    if (!guess || guess->dataType == DT_NULL)
        return QStringLiteral("No description, and no guess at its type.");
    return QStringLiteral("No description. Guess: %1 (%2%), %3")
        .arg(QString::fromLatin1(kDataTypeNames.at(static_cast<std::size_t>(guess->dataType))))
        .arg(guess->confidence)
        .arg(QString::fromStdString(guess->reason));
}

void CEditorDlg::OnUseType(std::int32_t dataType)
{
    const NodeId node = SelectedNode();
    const CMobChunk* rec = node == kNoNode ? nullptr : m_doc.Chunks().Lookup(m_doc.Tree().GetItemData(node));
    if (!rec || dataType < 0 || dataType >= kDataTypeCount)
        return;
    const std::string key = IdKey(rec->m_nId);
    const CFieldDesc* current = m_doc.LookupDesc(key);
    CFieldDesc entry = current ? *current : CFieldDesc();
    entry.m_strType = kDataTypeNames[static_cast<std::size_t>(dataType)];
    if (entry.m_strName.empty()) {
        QInputDialog ask(this);
        ask.setWindowTitle(QStringLiteral("Use this type"));
        ask.setLabelText(QStringLiteral("The id %1 has no name yet. Name:").arg(QString::fromLatin1(TypeIdText(rec->m_nId))));
        ask.setTextValue(QStringLiteral("ID_") + QString::fromLatin1(key));
        m_prompts.RunModal(ask);
        const QString name = ask.textValue().trimmed();
        if (ask.result() != QDialog::Accepted || name.isEmpty())
            return;
        entry.m_strName = CodePage().Encode(name);
    }
    ShowEntryStep(m_session.SetEntry(key, std::move(entry), node));
}

void CEditorDlg::OnGuessTypes()
{
    if (m_nLoadedFiles <= 0) {
        ShowMessage(QStringLiteral("No file is loaded."), MessageIcon::Information);
        return;
    }
    if (Guesses().empty()) {
        ShowMessage(QStringLiteral("Every id in the loaded files has a description."), MessageIcon::Information);
        return;
    }
    CGuessTypesDlg dialog(Guesses(), CodePage(), this);
    m_prompts.RunModal(dialog);
    if (dialog.result() != QDialog::Accepted)
        return;
    auto entries = dialog.AcceptedEntries();
    if (entries.empty())
        return;
    // One entry is a step of its own kind, with its own name.
    std::string label = "Use " + std::to_string(entries.size()) + " guessed types";
    ShowEntryStep(m_session.SetEntries(std::move(entries), std::move(label), SelectedNode()));
}

void CEditorDlg::ShowEntryStep(const EditResult& result)
{
    if (result.Refused())
        ShowMessage(FromLocal(result.error), MessageIcon::Stop);
    m_pTreeModel->NodesChanged();
    ShowSelectedItem();
    ShowEditState();
}

// ---------------------------------------------------------------------------
// Find

void CEditorDlg::OnFind()
{
    // One Find window at a time: a second one would leave the first
    // searching with whatever text the newest one holds.
    if (m_pFindDlg) {
        m_pFindDlg->show();
        m_pFindDlg->raise();
        m_pFindDlg->activateWindow();
        return;
    }
    m_pFindDlg = new CMyFindDlg(this);
    connect(m_pFindDlg, &CMyFindDlg::FindNextRequested, this, &CEditorDlg::OnFindNotify);
    m_pFindDlg->show();
}

void CEditorDlg::OnFindNext()
{
    if (m_strFind.isEmpty()) {
        OnFind();
        return;
    }
    SearchFromSelection();
}

void CEditorDlg::OnFindNotify()
{
    if (!m_pFindDlg)
        return;
    m_strFind = CodePage().ToUpper(m_pFindDlg->GetFindString());
    SearchFromSelection();
}

void CEditorDlg::SearchFromSelection()
{
    const NodeId start = SelectedNode();
    m_bSkipCurrent = true;
    const NodeId found = start == kNoNode ? kNoNode : FindInSubtree(m_strFind, start);
    if (found == kNoNode) {
        ShowMessage(QStringLiteral("Cannot find \"%1\"").arg(m_strFind), MessageIcon::Information);
        return;
    }
    RevealNode(*m_pTreeCtrl, *m_pTreeModel, found);
}

NodeId CEditorDlg::FindInSubtree(const QString& text, NodeId node)
{
    bool lossless = true;
    const std::string bytes = CodePage().Encode(text, &lossless);
    // Labels hold only characters of the code page, so a text with any
    // other character is found nowhere; the walk still counts as made.
    if (!lossless) {
        if (node != kNoNode)
            m_bSkipCurrent = false;
        return kNoNode;
    }
    return CTreeSearch(m_doc.Tree(), bytes).FindInSubtree(node, m_bSkipCurrent);
}

} // namespace qm
