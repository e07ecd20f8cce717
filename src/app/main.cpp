#include "app/CEditorApp.h"
#include "ui/BuildTitle.h"
#include "ui/CArtwork.h"
#include "ui/CEditorDlg.h"
#include "ui/CQtUserPrompts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kUsage =
    "Usage: quillmere [FILE.mob...]\n"
    "Edits MOB files. Reads mob_desc.txt from the working folder.\n"
    "\n"
    "  --version  print the program's title and version\n"
    "  --help     print this text\n";

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

// Saves a picture of the window shortly after start and closes it; used to
// produce the documentation's screenshot.
void ScheduleScreenshot(qm::CEditorDlg& dlg, const QString& path)
{
    QTimer::singleShot(500, &dlg, [&dlg, path] {
        const bool saved = dlg.grab().save(path);
        std::fprintf(stderr, "%s %s\n", saved ? "screenshot saved:" : "screenshot failed:",
                     path.toLocal8Bit().constData());
        dlg.reject();
    });
}

} // namespace

int main(int argc, char** argv)
{
    qm::BuildTitle();
    if (HandleInfoOption(argc, argv))
        return 0;

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brannock"));
    QGuiApplication::setDesktopFileName(QStringLiteral("quillmere"));
    QApplication::setWindowIcon(qm::CArtwork::ProgramIcon());

    QCommandLineParser parser;
    QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(), QStringLiteral("path"));
    screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(screenshot);
    parser.addPositionalArgument(QStringLiteral("files"), QString(), QStringLiteral("[FILE.mob...]"));
    parser.process(app);

    // The Open dialog hands over full paths; files named here are taken the
    // same way, so the tree shows the same labels.
    QStringList files;
    for (const QString& file : parser.positionalArguments())
        files << QFileInfo(file).absoluteFilePath();

    qm::CQtUserPrompts prompts;
    qm::CEditorApp editor(prompts);
    if (parser.isSet(screenshot)) {
        const QString path = QFileInfo(parser.value(screenshot)).absoluteFilePath();
        editor.SetStartupHook([path](qm::CEditorDlg& dlg) { ScheduleScreenshot(dlg, path); });
    }
    return editor.InitInstance(files);
}
