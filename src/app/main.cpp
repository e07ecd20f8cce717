#include "app/CEditorApp.h"
#include "edit/DocumentNodes.h"
#include "platform/CInterruptCleanup.h"
#include "ui/BuildTitle.h"
#include "ui/CArtwork.h"
#include "ui/CChunkTreeModel.h"
#include "ui/CDataEdit.h"
#include "ui/CDataViewPane.h"
#include "ui/CHexView.h"
#include "ui/CEditorDlg.h"
#include "ui/CQtUserPrompts.h"
#include "ui/EditorIds.h"
#include "ui/FileNameText.h"
#include "ui/TreeReveal.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kUsage =
    "Usage: quillmere [--user-desc] [FILE.mob...]\n"
    "Edits MOB files. Reads mob_desc.txt from the working folder.\n"
    "\n"
    "  --user-desc  read your own description file instead: the one last chosen\n"
    "               under Tools > Options in a start like this, else\n"
    "               $XDG_DATA_HOME/Quillmere/mob_desc.txt (~/.local/share/...),\n"
    "               made empty on first use; the desktop menu starts the editor so\n"
    "  --version    print the program's title and version\n"
    "  --help       print this text\n";

// Answered before Qt starts, so they work without a display.
bool HandleInfoOption(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", qm::g_strTitle.toLocal8Bit().constData());
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return true;
        }
    }
    return false;
}

// Qt would read the arguments as UTF-8 and lose the bytes of a file name
// that is not.
QStringList Arguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << qm::FileNameFromBytes(argv[i]);
    return arguments;
}

// Selects the node with that node key and opens the branches above it.
void SelectNodeByKey(qm::CEditorDlg& dlg, int key)
{
    const qm::NodeId node = qm::NodeOfKey(dlg.Document(), key);
    if (node != qm::kNoNode)
        qm::RevealNode(*dlg.TreeCtrl(), dlg.TreeModel(), node);
}

// Saves a picture of the window shortly after start and closes it; used to
// make the documentation's screenshot (scripts/screenshot).
// With view, the payload is shown in the hex view with the inspector
// beside it, in a window large enough for both.
void ScheduleScreenshot(qm::CEditorDlg& dlg, const QString& path, int selectKey, bool view)
{
    if (selectKey > 0)
        SelectNodeByKey(dlg, selectKey);
    if (view) {
        dlg.resize(1440, 760);
        static_cast<QPushButton*>(dlg.Control(qm::ids::kView))->click();
        dlg.DataView()->HexView()->MoveCursor(4, true);
    }
    QTimer::singleShot(500, &dlg, [&dlg, path] {
        const bool saved = dlg.grab().save(path);
        std::fprintf(stderr, "%s %s\n", saved ? "screenshot saved:" : "screenshot failed:",
                     qm::FileNameToBytes(path).c_str());
        // What the picture shows, for a script to check.
        std::fprintf(stderr, "description: %s\ndata: %s\n", dlg.DescEdit()->toPlainText().toLocal8Bit().constData(),
                     dlg.DataEdit()->toPlainText().toLocal8Bit().constData());
        dlg.reject();
    });
}

// Once the tree has been painted with the start-up files in it, prints
// "ready NODES" on standard output and closes the window: how a benchmark
// times a start to a usable tree without guessing from the clock.
class ReadyReporter : public QObject {
public:
    explicit ReadyReporter(qm::CEditorDlg& dlg) : QObject(&dlg), m_dlg(dlg)
    {
        QWidget* viewport = dlg.TreeCtrl()->viewport();
        viewport->installEventFilter(this);
        viewport->update();
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || m_bSeen)
            return false;
        m_bSeen = true;
        // Queued behind the paint, so it runs once the picture is on screen.
        QTimer::singleShot(0, &m_dlg, [this] {
            std::printf("ready %zu\n", m_dlg.Document().Tree().GetCount());
            std::fflush(stdout);
            m_dlg.reject();
        });
        return false;
    }

private:
    qm::CEditorDlg& m_dlg;
    bool m_bSeen = false;
};

} // namespace

int main(int argc, char** argv)
{
    qm::BuildTitle();
    if (HandleInfoOption(argc, argv))
        return 0;
    // A logout or a kill during a save leaves no temporary file behind.
    qm::platform::CInterruptCleanup::Install();

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brannock"));
    QGuiApplication::setDesktopFileName(QStringLiteral("quillmere"));
    QApplication::setWindowIcon(qm::CArtwork::ProgramIcon());

    QCommandLineParser parser;
    const QCommandLineOption userDesc(QStringLiteral("user-desc"));
    parser.addOption(userDesc);
    QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(), QStringLiteral("path"));
    screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(screenshot);
    QCommandLineOption select(QStringLiteral("select"), QString(), QStringLiteral("key"));
    select.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(select);
    QCommandLineOption exitWhenReady(QStringLiteral("exit-when-ready"));
    exitWhenReady.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(exitWhenReady);
    QCommandLineOption view(QStringLiteral("view"));
    view.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(view);
    parser.addPositionalArgument(QStringLiteral("files"), QString(), QStringLiteral("[FILE.mob...]"));
    parser.process(Arguments(argc, argv));

    // The Open dialog hands over full paths; files named here are taken the
    // same way, so the tree shows the same labels.
    QStringList files;
    for (const QString& file : parser.positionalArguments())
        files << qm::AbsoluteFileName(file);

    qm::CQtUserPrompts prompts;
    qm::CEditorApp editor(prompts);
    editor.UseUserDescFile(parser.isSet(userDesc));
    if (parser.isSet(screenshot)) {
        const QString path = qm::AbsoluteFileName(parser.value(screenshot));
        const int key = parser.value(select).toInt();
        const bool hexView = parser.isSet(view);
        editor.SetStartupHook(
            [path, key, hexView](qm::CEditorDlg& dlg) { ScheduleScreenshot(dlg, path, key, hexView); });
    } else if (parser.isSet(exitWhenReady)) {
        editor.SetStartupHook([](qm::CEditorDlg& dlg) { new ReadyReporter(dlg); });
    }
    return editor.InitInstance(files);
}
