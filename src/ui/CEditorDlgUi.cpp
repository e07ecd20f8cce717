#include "ui/CEditorDlgUi.h"

#include "ui/BuildTitle.h"
#include "ui/CArtwork.h"
#include "ui/CDataEdit.h"
#include "ui/CDialogUnits.h"
#include "ui/CStatusBar.h"
#include "ui/ControlId.h"
#include "ui/EditorCommands.h"
#include "ui/EditorIds.h"

#include <QDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>

#include <vector>

namespace qm {

namespace {

enum class ControlKind {
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

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;
    int x, y, width, height;  // dialog units
};

using K = ControlKind;

// In tab order.
constexpr ControlTemplate kTemplate[] = {
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

constexpr std::pair<int, const char*> kTooltips[] = {
    {ids::kLoad, "Load new .mob file"}, {ids::kSave, "Save .mob file"},
    {ids::kHelp, "Help"},               {ids::kExit, "Exit to Windows"},
    {ids::kTree, "Items tree"},         {ids::kDescEdit, "Item description"},
    {ids::kTypeField, "Item type"},     {ids::kDataEdit, "Item data"},
    {ids::kUnload, "Unload all data"},
};

constexpr int kClientWidth = 465;  // dialog units
constexpr int kClientHeight = 317;
constexpr int kStatusMinHeight = 18;
const QString kMakerAddress = QStringLiteral("quillmere.example.org");

// Flat buttons, group boxes and read-only fields take no part in tabbing but
// can still be clicked into.
void DropFromTabOrder(QWidget* control)
{
    control->setFocusPolicy(Qt::ClickFocus);
}

QWidget* CreateControl(const ControlTemplate& entry, QWidget* client, int dataEditLimit)
{
    const QString text = QString::fromLatin1(entry.text);
    switch (entry.kind) {
    case K::Button:
    case K::FlatButton: {
        auto* button = new QPushButton(text, client);
        // Enter is dispatched by the window itself.
        button->setAutoDefault(false);
        if (entry.kind == K::FlatButton) {
            button->setFlat(true);
            DropFromTabOrder(button);
        }
        return button;
    }
    case K::Tree:
        return new QTreeView(client);
    case K::DescEdit: {
        auto* box = new QPlainTextEdit(client);
        box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        box->setTabChangesFocus(true);
        return box;
    }
    case K::DataEdit: {
        auto* box = new CDataEdit(dataEditLimit, client);
        box->setLineWrapMode(QPlainTextEdit::NoWrap);
        box->setTabChangesFocus(true);
        return box;
    }
    case K::GroupBox:
        return new QGroupBox(text, client);
    case K::Field:
    case K::RightField: {
        auto* field = new QLineEdit(client);
        field->setReadOnly(true);
        if (entry.kind == K::RightField)
            field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        DropFromTabOrder(field);
        return field;
    }
    case K::Static:
        break;
    }
    auto* label = new QLabel(text, client);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

void CreateControls(CEditorDlgUi& ui, const QFont& font, int dataEditLimit)
{
    const CDialogUnits du(font);
    std::vector<QWidget*> groupBoxes;
    for (const ControlTemplate& entry : kTemplate) {
        QWidget* control = CreateControl(entry, ui.client, dataEditLimit);
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
    ui.tree = static_cast<QTreeView*>(ui.Control(ids::kTree));
    ui.descEdit = static_cast<QPlainTextEdit*>(ui.Control(ids::kDescEdit));
    ui.dataEdit = static_cast<CDataEdit*>(ui.Control(ids::kDataEdit));
    for (const auto& [id, tip] : kTooltips)
        ui.Control(id)->setToolTip(QString::fromLatin1(tip));
}

void SetUpTree(QTreeView& tree)
{
    tree.setHeaderHidden(true);
    tree.setRootIsDecorated(true);
    // Rows of one height let the view skip measuring every row, which keeps
    // expanding a node with a hundred thousand children quick.
    tree.setUniformRowHeights(true);
    tree.setSelectionMode(QAbstractItemView::SingleSelection);
    tree.setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree.setDragDropMode(QAbstractItemView::NoDragDrop);
    tree.setIconSize(QSize(CArtwork::kNodeImageSize, CArtwork::kNodeImageSize));
    tree.setMouseTracking(true);
    tree.viewport()->setAttribute(Qt::WA_Hover);
    tree.setContextMenuPolicy(Qt::CustomContextMenu);

    // The selection stays visible when the focus is elsewhere, so the node
    // the panes show is always marked.
    QPalette palette = tree.palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    tree.setPalette(palette);
}

void CreateMenus(CEditorDlgUi& ui, std::span<const EditorCommand> commands)
{
    std::map<QString, QMenu*> menus;
    for (const EditorCommand& command : commands) {
        const QString text = QString::fromLatin1(command.text);
        if (command.menu) {
            const QString title = QString::fromLatin1(command.menu);
            QMenu*& menu = menus[title];
            if (!menu)
                menu = ui.menuBar->addMenu(title);
            if (command.separatorBefore)
                menu->addSeparator();
            ui.actions[command.id] = menu->addAction(text);
        }
        if (command.inTreeMenu) {
            QAction*& action = ui.actions[command.id];
            if (!action)
                action = new QAction(text, ui.treeMenu);
            if (command.separatorBefore)
                ui.treeMenu->addSeparator();
            ui.treeMenu->addAction(action);
        }
    }
}

} // namespace

QWidget* CEditorDlgUi::Control(int id) const
{
    return id == ids::kNoId ? nullptr : FindControl(client, id);
}

QAction* CEditorDlgUi::Action(int id) const
{
    const auto it = actions.find(id);
    return it == actions.end() ? nullptr : it->second;
}

CEditorDlgUi SetupUi(QDialog& dlg, std::span<const EditorCommand> commands, int dataEditLimit)
{
    dlg.setWindowTitle(QStringLiteral("Quillmere[*]"));
    dlg.setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                       Qt::WindowCloseButtonHint);
    CEditorDlgUi ui;
    ui.menuBar = new QMenuBar(&dlg);
    ui.client = new QWidget(&dlg);
    ui.treeMenu = new QMenu(&dlg);
    CreateMenus(ui, commands);
    CreateControls(ui, dlg.font(), dataEditLimit);
    SetUpTree(*ui.tree);

    const CDialogUnits du(dlg.font());
    const int menuHeight = ui.menuBar->isNativeMenuBar() ? 0 : ui.menuBar->sizeHint().height();
    dlg.resize(du.MapX(kClientWidth), du.MapY(kClientHeight) + menuHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dlg.move(screen->availableGeometry().center() - dlg.rect().center());
    return ui;
}

CStatusBar* SetupStatusBar(QWidget* client, int outerWidth, const QIcon& icon, std::array<int, 3>& parts)
{
    auto* bar = new CStatusBar(client);
    SetControlId(bar, ids::kStatusBar);
    parts = {outerWidth / 4, outerWidth - outerWidth / 4, -1};
    bar->SetMinHeight(kStatusMinHeight);
    bar->SetParts({parts.begin(), parts.end()});
    bar->SetText(0, QStringLiteral("Ready"));
    bar->SetText(1, g_strTitle);
    bar->SetIcon(1, icon);
    bar->SetText(2, kMakerAddress);
    bar->resize(client->width(), bar->sizeHint().height());
    bar->show();
    return bar;
}

} // namespace qm
