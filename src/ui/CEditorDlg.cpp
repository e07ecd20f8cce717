#include "ui/CEditorDlg.h"

#include "ui/BuildTitle.h"
#include "ui/CAboutDlg.h"
#include "ui/CArtwork.h"
#include "codec/ParseChunkData.h"
#include "mob/CTreeSearch.h"
#include "ui/CChunkTreeModel.h"
#include "ui/CCodePage.h"
#include "ui/CDataEdit.h"
#include "ui/CDialogUnits.h"
#include "ui/CLongWorkProgress.h"
#include "ui/COptionsDlg.h"
#include "ui/CPaneContents.h"
#include "ui/CStatusBar.h"
#include "ui/ControlId.h"
#include "ui/EditorIds.h"
#include "ui/FileNameText.h"
#include "ui/PaneText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QTreeView>

#include <algorithm>

namespace qm {

enum class CEditorDlg::ControlKind : int {
    Button,      // push button and tab stop
    FlatButton,  // drawn flat, no tab stop
    Tree,
    DescEdit,
    DataEdit,
    GroupBox,
    Field,       // read-only single line
    RightField,  // read-only single line, right-aligned
    Static,      // right-aligned label
};

struct CEditorDlg::ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;
    int x, y, width, height;  // dialog units
};

namespace {

constexpr int kClientWidth = 465;  // dialog units
constexpr int kClientHeight = 317;
constexpr int kStatusMinHeight = 18;

const QString kMobFilter = QStringLiteral("Emberfold MOB Files (*.mob);;All Files (*)");
const QString kMakerAddress = QStringLiteral("quillmere.example.org");
const QString kUnsavedFile = QStringLiteral("The loaded file has changes that were not saved.\n");

// How many levels above a found node the tree opens to show it. The tree
// view lays out an open branch by calling itself once per level and takes
// time in the square of the depth to open a chain, so a chain of tens of
// thousands of open levels would overflow its stack; below this depth a
// match is still selected and shown in the panes, under its deepest opened
// ancestor.
constexpr std::size_t kMaxRevealDepth = 1000;

// Flat buttons, group boxes and read-only fields take no part in tabbing but
// can still be clicked into.
void DropFromTabOrder(QWidget* control)
{
    control->setFocusPolicy(Qt::ClickFocus);
}

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
      m_hIcon(CArtwork::ProgramIcon()),
      m_pTreeModel(std::make_unique<CChunkTreeModel>(m_doc.Tree())),
      m_pCodePage(&CCodePage::Get(CCodePage::kDefault))
{
    BuildTitle();
    setWindowTitle(QStringLiteral("Quillmere"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);

    m_pMenuBar = new QMenuBar(this);
    m_pClient = new QWidget(this);
    CreateMenu();
    CreateControls();
    ConnectCommands();

    const CDialogUnits du(font());
    const int menuHeight = m_pMenuBar->isNativeMenuBar() ? 0 : m_pMenuBar->sizeHint().height();
    resize(du.MapX(kClientWidth), du.MapY(kClientHeight) + menuHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    OnSize();

    // The window sees every key first, as accelerators need.
    qApp->installEventFilter(this);
}

CEditorDlg::~CEditorDlg()
{
    qApp->removeEventFilter(this);
    // The view must let go of the model before the model goes.
    if (m_pTreeCtrl)
        m_pTreeCtrl->setModel(nullptr);
}

void CEditorDlg::CreateControls()
{
    using K = ControlKind;
    // In tab order; rectangles in dialog units.
    static constexpr ControlTemplate kTemplate[] = {
        {ids::kLoad, K::Button, "&Load", 6, 6, 30, 12},
        {ids::kExit, K::Button, "&Exit", 216, 6, 27, 12},
        {ids::kTree, K::Tree, "", 12, 36, 228, 252},
        {ids::kDescEdit, K::DescEdit, "", 295, 18, 161, 26},
        {ids::kDescReload, K::FlatButton, "Reload", 258, 18, 30, 12},
        {ids::kDescApply, K::FlatButton, "Apply", 258, 30, 30, 12},
        {ids::kHelp, K::Button, "&Help", 186, 6, 27, 12},
        {ids::kTreeGroup, K::GroupBox, "Mob file tree", 6, 24, 240, 270},
        {ids::kDataGroup, K::GroupBox, "Data", 252, 96, 210, 198},
        {ids::kDescGroup, K::GroupBox, "Description", 252, 6, 210, 42},
        {ids::kSave, K::Button, "&Save", 42, 6, 30, 12},
        {ids::kInfoGroup, K::GroupBox, "Field info", 252, 48, 210, 48},
        {ids::kTypeField, K::Field, "", 282, 60, 60, 12},
        {ids::kNoId, K::Static, "Type:", 258, 60, 24, 12},
        {ids::kSizeField, K::RightField, "", 378, 60, 48, 12},
        {ids::kNoId, K::Static, "Size:", 348, 60, 18, 12},
        {ids::kNoId, K::Static, "bytes", 426, 60, 21, 12},
        {ids::kUnpack, K::Button, "&Unpack", 144, 6, 30, 12},
        {ids::kApplyChanges, K::FlatButton, "A&pply changes", 396, 104, 54, 12},
        {ids::kEdit, K::FlatButton, "E&dit", 294, 104, 30, 12},
        {ids::kUndoChanges, K::FlatButton, "U&ndo changes", 330, 104, 60, 12},
        {ids::kDataEdit, K::DataEdit, "", 258, 120, 198, 168},
        {ids::kView, K::FlatButton, "&View", 258, 104, 30, 12},
        {ids::kUnload, K::Button, "&Unload", 78, 6, 30, 12},
        {ids::kOffsetField, K::RightField, "", 378, 78, 48, 12},
        {ids::kNoId, K::Static, "Offset:", 348, 78, 24, 12},
        {ids::kTypeIdField, K::Field, "", 282, 78, 60, 12},
        {ids::kNoId, K::Static, "TypeID", 258, 78, 24, 12},
        {ids::kNoId, K::Static, "(hex)", 426, 78, 21, 12},
    };

    const CDialogUnits du(font());
    std::vector<QWidget*> groupBoxes;
    for (const ControlTemplate& entry : kTemplate) {
        QWidget* control = CreateControl(entry);
        control->setGeometry(du.MapRect(entry.x, entry.y, entry.width, entry.height));
        if (entry.id != ids::kNoId)
            SetControlId(control, entry.id);
        if (entry.kind == K::GroupBox)
            groupBoxes.push_back(control);
    }
    // A group box is a sibling drawn around its controls, not their parent:
    // it goes to the bottom so it never takes their clicks.
    for (QWidget* box : groupBoxes)
        box->lower();
}

QWidget* CEditorDlg::CreateControl(const ControlTemplate& entry)
{
    const QString text = QString::fromLatin1(entry.text);
    switch (entry.kind) {
    case ControlKind::Button:
    case ControlKind::FlatButton: {
        auto* button = new QPushButton(text, m_pClient);
        // Enter is dispatched by the window itself (see HandleEnter).
        button->setAutoDefault(false);
        if (entry.kind == ControlKind::FlatButton) {
            button->setFlat(true);
            DropFromTabOrder(button);
        }
        return button;
    }
    case ControlKind::Tree:
        m_pTreeCtrl = new QTreeView(m_pClient);
        return m_pTreeCtrl;
    case ControlKind::DescEdit:
        m_descEdit = new QPlainTextEdit(m_pClient);
        m_descEdit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        m_descEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m_descEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_descEdit->setTabChangesFocus(true);
        return m_descEdit;
    case ControlKind::DataEdit:
        m_pDataEdit = new CDataEdit(kDataEditLimit, m_pClient);
        m_pDataEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
        m_pDataEdit->setTabChangesFocus(true);
        return m_pDataEdit;
    case ControlKind::GroupBox:
        return new QGroupBox(text, m_pClient);
    case ControlKind::Field:
    case ControlKind::RightField: {
        auto* field = new QLineEdit(m_pClient);
        field->setReadOnly(true);
        if (entry.kind == ControlKind::RightField)
            field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        DropFromTabOrder(field);
        return field;
    }
    case ControlKind::Static:
        break;
    }
    auto* label = new QLabel(text, m_pClient);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

void CEditorDlg::CreateMenu()
{
    struct MenuEntry {
        int id;  // 0 for a separator
        const char* text;
    };
    struct Menu {
        const char* title;
        std::vector<MenuEntry> items;
    };
    const Menu menus[] = {
        {"File",
         {{ids::kCmdOpen, "&Open\tCtrl+O"},
          {ids::kCmdSave, "&Save\tCtrl+S"},
          {ids::kCmdUnload, "&Unload\tCtrl+U"},
          {ids::kCmdUnpack, "Unpack"},
          {ids::kCmdUnpack2Access, "Unpack2Access"},
          {ids::kCmdUnpack2DB, "Unpack2DB"},
          {0, nullptr},
          {ids::kCmdExit, "E&xit\tAlt+X"}}},
        {"Edit", {{ids::kCmdFind, "Find...\tCtrl+F"}, {ids::kCmdFindNext, "Find Next\tF3"}}},
        {"Tools", {{ids::kCmdOptions, "Options"}}},
        {"Help", {{ids::kCmdAbout, "About"}}},
    };
    // The hints after the tab are text only: the accelerator table, not the
    // menu, owns the keys, so they work wherever the focus is.
    for (const Menu& menu : menus) {
        QMenu* popup = m_pMenuBar->addMenu(QString::fromLatin1(menu.title));
        for (const MenuEntry& item : menu.items) {
            if (item.id == 0) {
                popup->addSeparator();
                continue;
            }
            m_menuItems[item.id] = popup->addAction(QString::fromLatin1(item.text));
        }
    }
}

void CEditorDlg::ConnectCommands()
{
    const auto onClick = [this](int id, auto handler) {
        connect(static_cast<QPushButton*>(Control(id)), &QPushButton::clicked, this, handler);
    };
    onClick(ids::kLoad, &CEditorDlg::OnLoad);
    onClick(ids::kSave, &CEditorDlg::OnSave);
    onClick(ids::kUnload, &CEditorDlg::OnUnload);
    onClick(ids::kExit, &CEditorDlg::reject);
    onClick(ids::kHelp, &CEditorDlg::OnAbout);
    onClick(ids::kDescReload, &CEditorDlg::OnDescReload);
    onClick(ids::kDescApply, &CEditorDlg::OnDescApply);
    onClick(ids::kApplyChanges, &CEditorDlg::OnApplyChanges);
    onClick(ids::kUndoChanges, &CEditorDlg::OnUndoChanges);

    const auto onMenu = [this](int id, auto handler) {
        connect(MenuItem(id), &QAction::triggered, this, handler);
    };
    onMenu(ids::kCmdOpen, &CEditorDlg::OnLoad);
    onMenu(ids::kCmdSave, &CEditorDlg::OnSave);
    onMenu(ids::kCmdUnload, &CEditorDlg::OnUnload);
    onMenu(ids::kCmdExit, &CEditorDlg::accept);
    onMenu(ids::kCmdFind, &CEditorDlg::OnFind);
    onMenu(ids::kCmdFindNext, &CEditorDlg::OnFindNext);
    onMenu(ids::kCmdOptions, &CEditorDlg::OnOptions);
    onMenu(ids::kCmdAbout, &CEditorDlg::OnAbout);

    connect(m_descEdit, &QPlainTextEdit::textChanged, this, &CEditorDlg::OnDescChanged);
    connect(m_pDataEdit, &QPlainTextEdit::textChanged, this, &CEditorDlg::OnDataChanged);
}

bool CEditorDlg::OnInitDialog()
{
    setWindowIcon(m_hIcon);

    m_bInitialized = true;
    m_rcInitial = geometry();
    setMinimumSize(OnGetMinMaxInfo());

    m_layout.Attach(m_pClient);
    m_layout.AddControl(ids::kTreeGroup, LAYOUT_SIZE_Y);
    m_layout.AddControl(ids::kTree, LAYOUT_SIZE_Y);
    m_layout.AddControl(ids::kDescGroup, LAYOUT_SIZE_X);
    m_layout.AddControl(ids::kDescEdit, LAYOUT_SIZE_X);
    m_layout.AddControl(ids::kDataGroup, LAYOUT_SIZE_X | LAYOUT_SIZE_Y);
    m_layout.AddControl(ids::kDataEdit, LAYOUT_SIZE_X | LAYOUT_SIZE_Y);

    CreateTooltips();
    SetUpTree();

    m_doc.SetDescFile(FileNameToBytes(m_strDescFileName));
    if (!m_doc.ReadDescFile()) {
        ShowMessage(FromLocal(m_doc.GetError()), MessageIcon::Stop);
        RequestExit(1);
    }

    for (const int id : {ids::kCmdSave, ids::kCmdUnload, ids::kCmdUnpack, ids::kCmdUnpack2Access,
                         ids::kCmdUnpack2DB})
        MenuItem(id)->setEnabled(false);
    for (const int id : {ids::kUnpack, ids::kDescApply, ids::kEdit, ids::kUndoChanges, ids::kApplyChanges,
                         ids::kSave, ids::kUnload})
        EnableControl(id, false);

    CreateStatusBar();
    CreateAccelerators();
    m_pFindDlg = nullptr;

    if (QWidget* first = Control(ids::kLoad))
        first->setFocus();
    return !ExitRequested();
}

void CEditorDlg::CreateTooltips()
{
    const std::pair<int, const char*> tips[] = {
        {ids::kLoad, "Load new .mob file"}, {ids::kSave, "Save .mob file"},
        {ids::kHelp, "Help"},               {ids::kExit, "Exit to Windows"},
        {ids::kTree, "Items tree"},         {ids::kDescEdit, "Item description"},
        {ids::kTypeField, "Item type"},     {ids::kDataEdit, "Item data"},
        {ids::kUnload, "Unload all data"},
    };
    for (const auto& [id, tip] : tips)
        Control(id)->setToolTip(QString::fromLatin1(tip));
}

void CEditorDlg::SetUpTree()
{
    QTreeView* tree = m_pTreeCtrl;
    m_pTreeModel->SetImageList(CArtwork::NodeImageList());
    tree->setModel(m_pTreeModel.get());
    tree->setHeaderHidden(true);
    tree->setRootIsDecorated(true);
    // Rows of one height let the view skip measuring every row, which keeps
    // expanding a node with a hundred thousand children quick.
    tree->setUniformRowHeights(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setDragDropMode(QAbstractItemView::NoDragDrop);
    tree->setIconSize(QSize(CArtwork::kNodeImageSize, CArtwork::kNodeImageSize));
    tree->setMouseTracking(true);
    tree->viewport()->setAttribute(Qt::WA_Hover);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);

    // The selection stays visible when the focus is elsewhere, so the node
    // the panes show is always marked.
    QPalette palette = tree->palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    tree->setPalette(palette);

    connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this, &CEditorDlg::OnTreeSelChanged);
    connect(tree, &QWidget::customContextMenuRequested, this, &CEditorDlg::OnTreeRightClick);
}

void CEditorDlg::CreateStatusBar()
{
    m_statusBar = new CStatusBar(m_pClient);
    SetControlId(m_statusBar, ids::kStatusBar);
    // The outer width counts the frame, which the platform knows only once
    // the window exists.
    winId();
    const int width = frameGeometry().width();
    m_nStatusParts = {width / 4, width - width / 4, -1};
    m_statusBar->SetMinHeight(kStatusMinHeight);
    m_statusBar->SetParts({m_nStatusParts.begin(), m_nStatusParts.end()});
    m_statusBar->SetText(0, QStringLiteral("Ready"));
    m_statusBar->SetText(1, g_strTitle);
    m_statusBar->SetIcon(1, m_hIcon);
    m_statusBar->SetText(2, kMakerAddress);
    m_statusBar->resize(m_pClient->width(), m_statusBar->sizeHint().height());
    m_statusBar->show();
    OnSize();
}

void CEditorDlg::CreateAccelerators()
{
    m_hAccel.Add(Qt::CTRL | Qt::Key_F, [this] { OnFind(); });
    m_hAccel.Add(QKeyCombination(Qt::Key_F3), [this] { OnFindNext(); });
    m_hAccel.Add(Qt::CTRL | Qt::Key_O, [this] { OnLoad(); });
    m_hAccel.Add(Qt::ALT | Qt::Key_X, [this] { accept(); });
    m_hAccel.Add(Qt::CTRL | Qt::Key_S, [this] { OnSave(); });
    m_hAccel.Add(Qt::CTRL | Qt::Key_U, [this] { OnUnload(); });
}

QWidget* CEditorDlg::Control(int id) const
{
    return FindControl(m_pClient, id);
}

QAction* CEditorDlg::MenuItem(int commandId) const
{
    const auto it = m_menuItems.find(commandId);
    return it == m_menuItems.end() ? nullptr : it->second;
}

void CEditorDlg::SetCodePage(int number)
{
    const CCodePage& page = CCodePage::Get(number);
    if (&page == m_pCodePage)
        return;
    m_pCodePage = &page;
    m_pTreeModel->SetCodePage(page);
    // Before the first selection the panes are as the window started, and
    // showing "nothing selected" would make the data editor read-only.
    if (SelectedNode() != kNoNode)
        ShowSelectedItem();
    emit CodePageChanged(page.Number());
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
    MenuItem(ids::kCmdSave)->setEnabled(enable);
    MenuItem(ids::kCmdUnload)->setEnabled(enable);
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
    // The view's own '*' calls itself once per level and overflows its stack
    // on a file nested tens of thousands deep.
    if (m_pTreeCtrl && watched == m_pTreeCtrl && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Asterisk) {
        ExpandAllBelow(m_pTreeCtrl->currentIndex());
        return true;
    }
    // A right click on the tree leaves the selection where it was: the
    // click's message concerns the selected node, not the one clicked.
    if (m_pTreeCtrl && watched == m_pTreeCtrl->viewport()) {
        const QEvent::Type type = event->type();
        if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
             type == QEvent::MouseButtonDblClick) &&
            static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
            return true;
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

    if (const CAcceleratorTable::Command* command = m_hAccel.Find(*key)) {
        // Claiming the override keeps text editors from taking the keys for
        // themselves; the command runs on the key press that follows.
        if (type == QEvent::KeyPress)
            (*command)();
        key->accept();
        return true;
    }
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
    int menuHeight = 0;
    if (!m_pMenuBar->isNativeMenuBar()) {
        menuHeight = m_pMenuBar->heightForWidth(width());
        if (menuHeight <= 0)
            menuHeight = m_pMenuBar->sizeHint().height();
    }
    m_pMenuBar->setGeometry(0, 0, width(), menuHeight);
    m_pClient->setGeometry(0, menuHeight, width(), height() - menuHeight);

    m_layout.Reposition();

    if (!m_statusBar)
        return;
    const int statusHeight = m_statusBar->height();
    m_statusBar->setGeometry(0, m_pClient->height() - statusHeight, m_pClient->width(), statusHeight);
}

QSize CEditorDlg::OnGetMinMaxInfo() const
{
    return m_bInitialized ? m_rcInitial.size() : QSize();
}

// ---------------------------------------------------------------------------
// Closing

bool CEditorDlg::HasUnsavedWork() const
{
    const QWidget* apply = Control(ids::kDescApply);
    return m_doc.IsModified() || (apply && apply->isEnabled());
}

bool CEditorDlg::ConfirmClose()
{
    if (!HasUnsavedWork())
        return true;
    QString text;
    if (m_doc.IsModified())
        text += kUnsavedFile;
    if (Control(ids::kDescApply)->isEnabled())
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
// File commands

void CEditorDlg::OnLoad()
{
    const FileDialogRequest request{QStringLiteral("Open MOB file(s)"), kMobFilter, QStringLiteral("mob"), {}};
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
    if (m_nLoadedFiles > 0 && m_doc.IsModified() && !m_prompts.AskYesNo(this, question))
        return;
    QString lastLoaded;
    for (const QString& path : paths) {
        m_pTreeCtrl->setEnabled(false);
        bool loaded = false;
        {
            const CWaitCursor busy;
            const CLongWorkProgress progress(this, m_doc, QStringLiteral("Loading %1").arg(FileNameForDisplay(path)));
            loaded = m_doc.LoadMobFile(FileNameToBytes(path));
        }
        m_pTreeModel->SyncRoots();
        if (loaded) {
            ++m_nLoadedFiles;
            lastLoaded = path;
        } else {
            ShowMessage(QStringLiteral("Load error!\n\n") + FromLocal(m_doc.GetIoError()), MessageIcon::Stop);
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
    bool saved = false;
    {
        const CWaitCursor busy;
        const CLongWorkProgress progress(this, m_doc, QStringLiteral("Saving %1").arg(FileNameForDisplay(path)));
        saved = m_doc.SaveMobFile(FileNameToBytes(path));
    }
    if (!saved) {
        ShowMessage(QStringLiteral("Save error!\n\n") + FromLocal(m_doc.GetIoError()), MessageIcon::Stop);
        return;
    }
    QString message = QStringLiteral("Saved file: ") + FileNameForDisplay(path);
    if (!m_doc.GetIoNotice().empty())
        message += QStringLiteral("\n\n") + FromLocal(m_doc.GetIoNotice());
    ShowMessage(message, MessageIcon::None);
    m_strLastPath = path;
}

void CEditorDlg::OnUnload()
{
    if (m_nLoadedFiles <= 0) {
        ShowMessage(QStringLiteral("Nothing to unload!"), MessageIcon::Stop);
        return;
    }
    if (m_doc.IsModified() &&
        !m_prompts.AskYesNo(this, kUnsavedFile + QStringLiteral("Unloading loses them.\n\nUnload anyway?")))
        return;
    m_pTreeCtrl->setEnabled(false);
    m_pTreeModel->Reset([this] { m_doc.UnloadAll(); });
    m_pTreeCtrl->setEnabled(true);
    m_nLoadedFiles = 0;
    EnableFileCommands(false);
    // Resetting the model drops the selection without a word; the panes
    // must not go on showing a chunk that is gone.
    ShowSelectedItem();
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
    if (Control(ids::kDescApply)->isEnabled() &&
        !m_prompts.AskYesNo(this, UnwrittenDescriptions() + QStringLiteral("\nUse the other file anyway?")))
        return;
    if (!m_doc.SwitchDescFile(FileNameToBytes(path))) {
        ShowMessage(FromLocal(m_doc.GetError()), MessageIcon::Stop);
        return;
    }
    EnableControl(ids::kDescApply, false);
    if (SelectedNode() != kNoNode)
        ShowSelectedItem();
    emit DescFileChanged(DescFile());
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
    SetField(ids::kOffsetField, QStringLiteral("0x") + QStringLiteral("%1").arg(pane.m_nOffset, 8, 16, QLatin1Char('0')).toUpper());
    EnableControl(ids::kEdit, pane.m_bWritable);
    m_pDataEdit->setReadOnly(!pane.m_bWritable);
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
    m_pDataEdit->setReadOnly(true);
    EnableDataButtons(false);
}

void CEditorDlg::OnTreeSelChanged()
{
    ShowSelectedItem();
}

void CEditorDlg::OnTreeRightClick(const QPoint& /*position*/)
{
    if (SelectedNode() == kNoNode)
        return;
    ShowMessage(QStringLiteral("Not impemented"), MessageIcon::None);
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
    const std::string text = FromPaneText(CodePage(), RawText(*m_pDataEdit));
    CMobChunk* rec = m_doc.Chunks().Lookup(m_doc.Tree().GetItemData(node));
    if (rec && ParseChunkData(*rec, text))
        m_doc.MarkModified();
    else
        ShowMessage(QStringLiteral("An error occured\nwhile updating data!"), MessageIcon::Stop);
    ShowSelectedItem();
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
    if (m_doc.SetDescription(idText, FromPaneText(CodePage(), RawText(*m_descEdit)))) {
        EnableControl(ids::kDescApply, true);
        return;
    }
    ShowMessage(FromLocal(m_doc.GetError()), MessageIcon::Stop);
    SetDescText(QString());
}

void CEditorDlg::OnDescApply()
{
    if (!m_doc.WriteDescFile()) {
        ShowMessage(FromLocal(m_doc.GetError()), MessageIcon::Stop);
        return;
    }
    EnableControl(ids::kDescApply, false);
}

void CEditorDlg::OnDescReload()
{
    // A failed read keeps the program running: ending it would throw away
    // every unsaved edit of the loaded files. The table keeps whatever the
    // read put into it before it failed, and the panes show that.
    if (m_doc.ReadDescFile())
        EnableControl(ids::kDescApply, false);
    else
        ShowMessage(FromLocal(m_doc.GetError()), MessageIcon::Stop);
    ShowSelectedItem();
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
    SelectFoundNode(found);
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

void CEditorDlg::SelectFoundNode(NodeId node)
{
    const CChunkTree& tree = m_doc.Tree();
    std::vector<NodeId> ancestors;
    for (NodeId parent = tree.GetParentItem(node); parent != kNoNode; parent = tree.GetParentItem(parent))
        ancestors.push_back(parent);
    std::reverse(ancestors.begin(), ancestors.end());

    // Top down, so the view lays out one new level at a time.
    const std::size_t opened = std::min(ancestors.size(), kMaxRevealDepth);
    for (std::size_t i = 0; i < opened; ++i)
        m_pTreeCtrl->expand(m_pTreeModel->IndexFromNode(ancestors[i]));

    const QModelIndex index = m_pTreeModel->IndexFromNode(node);
    const bool reachable = opened == ancestors.size();
    m_pTreeCtrl->scrollTo(reachable ? index : m_pTreeModel->IndexFromNode(ancestors[opened]));
    // Selecting scrolls to the new current node, which would open all of
    // its closed ancestors from the bottom up.
    const bool autoScroll = m_pTreeCtrl->hasAutoScroll();
    m_pTreeCtrl->setAutoScroll(reachable && autoScroll);
    m_pTreeCtrl->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_pTreeCtrl->setAutoScroll(autoScroll);
}

void CEditorDlg::ExpandAllBelow(const QModelIndex& index)
{
    const NodeId top = CChunkTreeModel::NodeFromIndex(index);
    if (top == kNoNode)
        return;
    const CChunkTree& tree = m_doc.Tree();
    std::vector<std::pair<NodeId, std::size_t>> pending{{top, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        if (!tree.ItemHasChildren(node) || depth >= kMaxRevealDepth)
            continue;
        m_pTreeCtrl->expand(m_pTreeModel->IndexFromNode(node));
        for (NodeId child = tree.GetChildItem(node); child != kNoNode; child = tree.GetNextSiblingItem(child))
            pending.emplace_back(child, depth + 1);
    }
}

} // namespace qm
