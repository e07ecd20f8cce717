// Start-up: the description file, files named on the command line, and
// the program's --version.

#include "CEditorHarness.h"
#include "app/CEditorApp.h"
#include "ui/BuildTitle.h"
#include "ui/CChunkTreeModel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace qm;
using namespace qm::test;
using Kind = CScriptedPrompts::Kind;

namespace {

bool AnyWindowVisible()
{
    const auto windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget* w) { return w->isVisible(); });
}

} // namespace

class EditorAppTest : public QObject {
    Q_OBJECT

private slots:
    void unreadableDescriptionsEndTheProgram_data()
    {
        QTest::addColumn<QByteArray>("contents");  // empty for no file at all
        QTest::addColumn<QString>("messageStart");
        QTest::newRow("missing") << QByteArray() << "Error while open description file";
        QTest::newRow("malformed line") << QByteArray("0x00001000\tREC\n") << "";
    }

    void unreadableDescriptionsEndTheProgram()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, messageStart);
        CEditorHarness h;
        QFile::remove(h.Path(QStringLiteral("mob_desc.txt")));
        if (!contents.isEmpty()) {
            QFile file(h.Path(QStringLiteral("mob_desc.txt")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
        }

        CEditorApp app(h.prompts);
        bool windowShown = false;
        app.SetStartupHook([&](CEditorDlg&) { windowShown = true; });
        QCOMPARE(app.InitInstance({}), 1);

        QVERIFY(!windowShown);
        QVERIFY(!AnyWindowVisible());
        const auto asked = h.prompts.Asked(Kind::Message);
        QCOMPARE(asked.size(), 1u);
        QCOMPARE(asked[0].icon, MessageIcon::Stop);
        QVERIFY(asked[0].text.startsWith(messageStart));
    }

    void filesOnTheCommandLineAreLoaded()
    {
        CEditorHarness h;
        const QStringList files{h.WriteSample(QStringLiteral("a.mob")), h.WriteFile(QStringLiteral("empty.mob"), {}),
                                h.WriteSample(QStringLiteral("b.mob"))};
        CEditorApp app(h.prompts);
        int loaded = -1;
        int rows = -1;
        QString lastPath;
        app.SetStartupHook([&](CEditorDlg& dlg) {
            loaded = dlg.GetLoadedFiles();
            rows = dlg.TreeModel().rowCount();
            lastPath = dlg.GetLastPath();
            QVERIFY(dlg.isVisible());
            dlg.reject();
        });
        QCOMPARE(app.InitInstance(files), 0);
        QCOMPARE(loaded, 2);
        QCOMPARE(rows, 2);
        QCOMPARE(lastPath, files.back());
        QCOMPARE(h.prompts.Messages().size(), 1u);
        QVERIFY(h.prompts.Messages()[0].startsWith(QStringLiteral("Load error!")));
    }

    void versionOptionPrintsTheTitle()
    {
        BuildTitle();
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(QUILLMERE_BINARY), {QStringLiteral("--version")});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(process.readAllStandardOutput()), g_strTitle + QLatin1Char('\n'));
    }
};

QTEST_MAIN(EditorAppTest)
#include "EditorAppTest.moc"
